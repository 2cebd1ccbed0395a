"use strict";
// What the program asks of its page (platform/web/web_backend.cpp), and the
// page's own catch for errors that pass every handler in the program by.
var kalvoPage = (function () {
  var canvas = document.getElementById("picture1");
  var page = {
    failed: false,
    showMessage: function (text, title, error) {
      var box = document.getElementById("message");
      document.getElementById("message-title").textContent = title;
      document.getElementById("message-text").textContent = text;
      box.classList.toggle("error", error);
      box.setAttribute("role", error ? "alertdialog" : "dialog");
      if (!box.open) box.showModal();
    },
    announce: function (text) {
      document.getElementById("face").textContent = text;
    },
    // The program has ended: the picture goes, and the page says so.
    closed: function (why) {
      canvas.hidden = true;
      document.getElementById("below").hidden = true;
      document.body.classList.remove("filled");
      document.getElementById("closed-text").textContent = why || "Kalvo has closed.";
      document.getElementById("closed").hidden = false;
    },
    stopped: function (why) {
      page.closed(why);
    },
    // Reported as the program reports an error that escapes a handler: on
    // the log and in a box, and nothing runs after it.
    fail: function (text) {
      if (page.failed) return;
      page.failed = true;
      console.error("kalvo: " + text);
      page.showMessage(text, "Kalvo", true);
      page.closed("Kalvo has stopped after an error.");
    }
  };
  canvas.addEventListener("contextmenu", function (event) { event.preventDefault(); });
  document.getElementById("restart").addEventListener("click", function () {
    location.reload();
  });
  document.getElementById("fill").addEventListener("change", function (event) {
    document.body.classList.toggle("filled", event.target.checked);
    // The program fits its drawing buffer to the canvas on a resize.
    window.dispatchEvent(new Event("resize"));
  });
  window.addEventListener("error", function (event) {
    page.fail(String(event.error && event.error.message || event.message || event.error));
  });
  window.addEventListener("unhandledrejection", function (event) {
    var reason = event.reason;
    page.fail(String(reason && reason.message || reason));
  });
  // Offline after the first visit, where the browser allows a service
  // worker (https, or this machine); without one the page works as well.
  if ("serviceWorker" in navigator) {
    window.addEventListener("load", function () {
      navigator.serviceWorker.register("sw.js").then(function (registration) {
        // A new version is looked for at every load, not when the browser
        // gets round to it; offline, there is none to find.
        registration.update().catch(function () {});
      }, function (error) {
        console.warn("kalvo: the page will not work offline: " + error.message);
      });
    });
  }
  return page;
})();

// ---- The loader: how the program (kalvo.js) is started. ----
// Its files are asked for under the version this script was (index.html).
// kalvo.js runs the code it is given: kalvo.wasm is fetched first (kalvo.js
// meanwhile, by the page's preload), then kalvo.js is run.
var Module = {};
(function () {
  var version = new URL(document.currentScript.src).search;
  fetch("kalvo.wasm" + version).then(function (response) {
    return response.ok ? response.arrayBuffer() : Promise.reject();
  }).then(function (wasm) {
    Module.wasm = wasm;
    var script = document.createElement("script");
    script.src = "kalvo.js" + version;
    script.onerror = function () { kalvoPage.fail("kalvo.js could not be loaded"); };
    document.body.appendChild(script);
  }, function () {
    kalvoPage.fail("kalvo.wasm could not be loaded");
  });
})();
// ---- End of the loader. ----
