# Sourced by the web scripts: what Debian's emscripten needs from this machine's node.
# emcc's JavaScript tools find Debian's node modules (acorn) here, and node's own fetch
# would shadow the one emscripten's runtime expects.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
export NODE_OPTIONS="--no-experimental-fetch${NODE_OPTIONS:+ $NODE_OPTIONS}"
