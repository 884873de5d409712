// Runs inside the game's module before main: the player's folders kept in IndexedDB,
// the score server the page came from, and the replay the page was asked to show.
Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  const game = '/game';
  const player = [game + '/Data/Save', game + '/Data/Replays'];
  FS.mkdirTree(game + '/Data');
  for (const folder of player) {
    FS.mkdirTree(folder);
    FS.mount(IDBFS, {}, folder);
  }
  FS.chdir(game);
  // Results and replays go back to the server the page came from.
  FS.writeFile(game + '/Data/ScoreServer.txt', location.host + '\n');

  Module.sprayrushArgs = [];
  addRunDependency('sprayrush-files');
  const steps = [new Promise((done) => FS.syncfs(true, (error) => {
    if (error) console.error('the saves cannot be read from IndexedDB', error);
    done();
  }))];
  const watch = (bytes) => {
    FS.writeFile('/tmp/watch.replay', bytes);
    Module.sprayrushArgs = ['--replay', '/tmp/watch.replay'];
  };
  const query = new URLSearchParams(location.search);
  const id = query.get('replay');
  if (id !== null && /^[0-9]+$/.test(id)) {
    steps.push(fetch('/replays?id=' + id, {cache: 'no-store'})
      .then((answer) => {
        if (!answer.ok) throw new Error('the server answered ' + answer.status);
        return answer.arrayBuffer();
      })
      .then((bytes) => watch(new Uint8Array(bytes)))
      .catch((error) => Module.printErr('Sprayrush: ' + words.noReplay + ' (' + id + '): ' + error.message)));
  } else if (query.has('watch')) {
    // A replay file the player opened, handed over by the page before it reloaded.
    const kept = sessionStorage.getItem('sprayrush-watch');
    sessionStorage.removeItem('sprayrush-watch');
    if (kept) watch(Uint8Array.from(atob(kept), (c) => c.charCodeAt(0)));
  }
  Promise.all(steps).then(() => removeRunDependency('sprayrush-files'));
});
Module.postRun = Module.postRun || [];
Module.postRun.push(() => Module.callMain(Module.sprayrushArgs));
