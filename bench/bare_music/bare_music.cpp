// The floor of the game's music: a program of SDL and the module player alone that plays
// one module on the default sound device, in the game's output format, until SIGTERM
// (SDL turns it into a quit event).
//   bare_music FILE.xm
#include <SDL.h>
#include <xmp.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

void Render(void* context, Uint8* stream, int len) {
  // Looped, as the game's tunes play.
  xmp_play_buffer(static_cast<xmp_context>(context), stream, len, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bare_music FILE.xm\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<char> module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  xmp_context context = xmp_create_context();
  if (module.empty() || xmp_load_module_from_memory(context, module.data(), long(module.size())) != 0) {
    std::fprintf(stderr, "bare_music: %s cannot be played\n", argv[1]);
    return 1;
  }
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "bare_music: %s\n", SDL_GetError());
    return 1;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Render;
  want.userdata = context;
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0 || xmp_start_player(context, want.freq, 0) != 0) {
    std::fprintf(stderr, "bare_music: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_PauseAudioDevice(device, 0);
  // Without a window SDL's event wait polls every millisecond; a tenth of a second
  // between looks is plenty to see the quit.
  for (bool quit = false; !quit;) {
    SDL_Delay(100);
    for (SDL_Event event; SDL_PollEvent(&event);) quit = quit || event.type == SDL_QUIT;
  }
  SDL_CloseAudioDevice(device);
  xmp_end_player(context);
  xmp_release_module(context);
  xmp_free_context(context);
  SDL_Quit();
  return 0;
}
