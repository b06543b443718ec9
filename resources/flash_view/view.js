"use strict";
// The page behind the program's Flash view: one Ruffle player filling the
// window. The program drives it through window.tembrelView and hears back
// from it through console messages that begin with "tembrel:".
(() => {
  let player = null;
  let menuShown = true;

  // Everything that could reach outside the program is off: no update
  // checks or outside links, no script access from the movie.
  const options = () => ({
    autoplay: "on",
    unmuteOverlay: "hidden",
    splashScreen: false,
    contextMenu: menuShown ? "on" : "off",
    letterbox: "on",
    // The stage is see-through, so the page's colour is the background and
    // can change while the movie plays.
    wmode: "transparent",
    allowScriptAccess: false,
    allowNetworking: "internal",
    openUrlMode: "deny",
    upgradeToHttps: false,
    warnOnUnsupportedContent: false,
    showSwfDownload: false,
    polyfills: false,
    logLevel: "error",
  });

  function ensurePlayer() {
    if (player) return player;
    player = window.RufflePlayer.newest().createPlayer();
    player.id = "player";
    document.body.appendChild(player);
    player.addEventListener("loadedmetadata", () => {
      const m = player.ruffle().metadata;
      console.info(`tembrel:metadata ${m.width} ${m.height} ${m.frameRate} ${m.numFrames}`);
    });
    return player;
  }

  // A hidden menu stays hidden at once, not only from the next movie on.
  document.addEventListener("contextmenu", (event) => {
    if (!menuShown) {
      event.stopImmediatePropagation();
      event.preventDefault();
    }
  }, true);

  window.RufflePlayer = window.RufflePlayer || {};
  window.RufflePlayer.config = options();
  window.tembrelView = {
    load(url) {
      // A movie's relative loads (a shell player's sound SWF) resolve
      // beside the movie, not beside this page.
      const base = url.split("?")[0].replace(/[^/]*$/, "");
      ensurePlayer().ruffle().load({ ...options(), url, base });
    },
    setBackground(colour) {
      document.documentElement.style.background = colour;
      document.body.style.background = colour;
    },
    setMenuShown(shown) {
      menuShown = shown;
    },
  };
})();
