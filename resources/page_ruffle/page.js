// Starts the Ruffle that lies beside a Tembrel page, so that the page plays
// wherever it is opened: from disk, offline, or from any web server.
//
// A page opened from disk (file://) may load classic scripts but may not
// fetch(), and Ruffle fetches its WebAssembly and the movies. So Ruffle's
// wasm is kept here in scripts that carry its bytes, always, and a movie
// beside the page is read from the script that carries its bytes
// (movies/<name>.js) when the page comes from disk; every other request goes
// to the network as before. Then Ruffle itself is loaded.
(function () {
  "use strict";
  var here = document.currentScript && document.currentScript.src;
  if (!here || window.TembrelRuffle) return;
  var folder = new URL(".", here);
  var pageFolder = new URL("..", folder).href;
  var fromDisk = folder.protocol === "file:";
  var realFetch = window.fetch;
  var waiting = {};  // carried name -> its pending load

  // Shows the page's words in place of the movie: the player cannot start.
  function noPlayer() {
    document.documentElement.className = "no-player";
  }

  // Called by each carrying script: the file's name (percent-encoded, so
  // that the script is plain ASCII whatever the name), "gzip" or "", and the
  // bytes in base64.
  function carry(name, coding, base64) {
    try { name = decodeURIComponent(name); } catch (e) {}
    var load = waiting[name];
    if (load) load.carried = { coding: coding, base64: base64 };
  }

  function decode(base64) {
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(base64);
    var text = atob(base64), bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  // The bytes a script carries, loaded once per name.
  function carried(name, script) {
    if (waiting[name]) return waiting[name].promise;
    var load = (waiting[name] = {});
    load.promise = new Promise(function (resolve, reject) {
      var element = document.createElement("script");
      element.src = script;
      element.onload = function () {
        var got = load.carried;
        if (!got) return reject(new TypeError(name + " is not in " + script));
        load.carried = null;
        var bytes = decode(got.base64);
        if (got.coding !== "gzip") return resolve(bytes);
        var stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("gzip"));
        new Response(stream).arrayBuffer().then(function (b) { resolve(new Uint8Array(b)); }, reject);
      };
      element.onerror = function () { reject(new TypeError("cannot load " + script)); };
      document.head.appendChild(element);
    });
    load.promise.catch(noPlayer);
    return load.promise;
  }

  // Where the bytes of url are carried, or null when the network serves it.
  function carrierOf(url) {
    if (url.hash) url = new URL(url.href.split("#")[0]);
    var at = url.href.split("?")[0];
    var name = decodeURIComponent(at.slice(at.lastIndexOf("/") + 1));
    var inFolder = at.slice(0, at.lastIndexOf("/") + 1);
    if (inFolder === folder.href && /\.wasm$/.test(name)) return { name: name, script: folder.href + name + ".js",
      type: "application/wasm" };
    if (fromDisk && inFolder === pageFolder && /\.swf$/i.test(name)) {
      return { name: name, script: folder.href + "movies/" + encodeURIComponent(name) + ".js",
        type: "application/x-shockwave-flash" };
    }
    return null;
  }

  window.fetch = function (input, init) {
    var url, carrier = null;
    try {
      url = new URL(typeof input === "string" || input instanceof URL ? String(input) : input.url, document.baseURI);
      carrier = carrierOf(url);
    } catch (e) {
      // An address no carrier can be named for (a name that is not UTF-8).
    }
    if (!carrier) return realFetch.apply(this, arguments);
    return carried(carrier.name, carrier.script).then(function (bytes) {
      var response = new Response(bytes, {
        status: 200,
        headers: { "Content-Type": carrier.type, "Content-Length": String(bytes.length) },
      });
      // Ruffle takes a movie's address, and so its query parameters, from
      // the response, which a made-up response has none of.
      Object.defineProperty(response, "url", { value: url.href });
      return response;
    });
  };

  window.TembrelRuffle = { carry: carry };
  var ruffle = document.createElement("script");
  ruffle.src = folder.href + "ruffle.js";
  ruffle.onerror = noPlayer;
  document.head.appendChild(ruffle);
})();
