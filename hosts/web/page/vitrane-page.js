// The page around the application (vitrane.wasm): it hands the module the
// browser's fingers, keys, sensors and files, and does for it what only a
// page can do (sounds, file choosers, sharing, links, permission, wake
// lock, full screen). The module calls back through window.vitranePage.
"use strict";

(() => {
  const canvas = document.getElementById("screen");
  const startOverlay = document.getElementById("start");
  const hint = document.getElementById("hint");
  const chooseButton = document.getElementById("choose");
  const inputs = {
    0: document.getElementById("library-input"),
    1: document.getElementById("photo-input"),
    2: document.getElementById("camera-input"),
  };
  const Choice = { Library: 0, Photo: 1, Camera: 2 };
  // A load places ten photos at most: a pick of thousands brings this many
  // into the module's memory, in name order, and leaves the rest on disk.
  const LIBRARY_FILES = 24;
  const LARGEST_FILE = 64 * 1024 * 1024;

  let ready = false;
  let started = false;
  let pendingChoice = null;
  let pickedCount = 0;
  let audio = null;
  const sounds = new Map();
  let wakeLock = null;

  // Safari on iOS (and iPadOS, which calls itself a Mac) gives
  // accelerations with the opposite sign to everyone else's.
  const isApple = /iPad|iPhone|iPod/.test(navigator.userAgent) ||
                  (navigator.platform === "MacIntel" && navigator.maxTouchPoints > 1);

  const num = (v) => (v === null || v === undefined ? NaN : Number(v));
  // The newest sensor reading that came before the module was ready:
  // browsers send the heading only when it changes, and a still device's
  // would be lost.
  const early = new Map();
  const call = (name, ...args) => {
    if (ready) Module["_" + name](...args);
    else if (name === "vitrane_orientation" || name === "vitrane_motion") early.set(name, args);
  };
  const callWithText = (name, types, args) => { if (ready) Module.ccall(name, null, types, args); };

  // --- The module's calls ----------------------------------------------------

  const page = {
    log(line) { console.log(line); },

    ready() {
      ready = true;
      Module._vitrane_acceleration_sign(isApple ? 1 : 0);
      sendScreenAngle();
      for (const [name, args] of early) Module["_" + name](...args);
      early.clear();
      resize();
      findCamera();
      requestAnimationFrame(frame);
    },

    failed(why) {
      console.error("Vitrane cannot start: " + why);
      const failure = document.createElement("div");
      failure.id = "failure";
      failure.textContent = "Vitrane cannot start here: " + why;
      document.body.replaceChildren(failure);
    },

    registerSound(name, channels, rate, samples) {
      sounds.set(name, { channels, rate, samples, buffer: null });
    },

    playSound(name) {
      const sound = sounds.get(name);
      if (!sound || !audio || audio.state !== "running") return;
      if (!sound.buffer) {
        const frames = Math.floor(sound.samples.length / sound.channels);
        sound.buffer = audio.createBuffer(sound.channels, Math.max(1, frames), sound.rate);
        for (let c = 0; c < sound.channels; ++c) {
          const data = sound.buffer.getChannelData(c);
          for (let i = 0; i < frames; ++i) data[i] = sound.samples[i * sound.channels + c];
        }
      }
      const source = audio.createBufferSource();
      source.buffer = sound.buffer;
      source.connect(audio.destination);
      source.start();
    },

    chooseFiles(choice) {
      pendingChoice = choice;
      const input = inputs[choice];
      input.value = "";
      // A chooser opens only from the user's own gesture; outside one the
      // page shows a button that is.
      const active = !navigator.userActivation || navigator.userActivation.isActive;
      if (active) {
        input.click();
        return;
      }
      chooseButton.textContent =
        choice === Choice.Library ? "Choose photos" : choice === Choice.Camera ? "Take a photo" : "Choose a photo";
      chooseButton.hidden = false;
    },

    async offerSavedPhoto(name, bytes) {
      const file = new File([bytes], name, { type: "image/jpeg" });
      try {
        if (navigator.canShare && navigator.canShare({ files: [file] })) {
          await navigator.share({ files: [file], title: name });
          return;
        }
      } catch (e) {
        if (e && e.name === "AbortError") return;  // the person closed the share sheet
      }
      const link = document.createElement("a");
      link.href = URL.createObjectURL(file);
      link.download = name;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    },

    openLink(url) {
      if (!/^https?:\/\//i.test(url)) return false;
      // With noopener the browser answers null whether or not it opened.
      window.open(url, "_blank", "noopener,noreferrer");
      return true;
    },

    motionOrigin(origin) {
      if (origin === 2) {
        hint.textContent = "No motion sensors: \u2190 \u2192 turn the tablet, W A S D lift a side, " +
                           "Shift+arrows slide it, Space lays it flat; Ctrl+drag twists.";
        hint.hidden = false;
      } else if (origin === 1) {
        hint.hidden = true;
      }
    },

    firstFrame() {
      performance.mark("vitrane-first-frame");
      page.firstFrameTime = performance.now();
    },

    firstFrameTime: null,
    // Main-thread time of each animation frame's work, for measurement.
    frameTimes: [],
  };
  window.vitranePage = page;

  // --- Frames ----------------------------------------------------------------

  function frame() {
    const t0 = performance.now();
    Module._vitrane_frame();
    const spent = performance.now() - t0;
    if (page.frameTimes.length < 10000) page.frameTimes.push(spent);
    requestAnimationFrame(frame);
  }

  // --- Size -------------------------------------------------------------------

  function resize() {
    const rect = canvas.getBoundingClientRect();
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(rect.width * ratio));
    const height = Math.max(1, Math.round(rect.height * ratio));
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    call("vitrane_resize", rect.width, rect.height, width, height);
  }
  window.addEventListener("resize", resize);
  if (window.visualViewport) window.visualViewport.addEventListener("resize", resize);

  function sendScreenAngle() {
    const angle = screen.orientation ? screen.orientation.angle : (window.orientation || 0);
    call("vitrane_screen_angle", num(angle));
  }
  if (screen.orientation) screen.orientation.addEventListener("change", () => { sendScreenAngle(); resize(); });
  else window.addEventListener("orientationchange", () => { sendScreenAngle(); resize(); });

  // --- Fingers, mouse and keys ------------------------------------------------

  const Pointer = { Down: 0, Move: 1, Up: 2, Cancel: 3 };
  const pointerAction = { pointerdown: Pointer.Down, pointermove: Pointer.Move, pointerup: Pointer.Up,
                          pointercancel: Pointer.Cancel };
  function onPointer(event) {
    event.preventDefault();
    const action = pointerAction[event.type];
    const isMouse = event.pointerType === "mouse";
    if (isMouse && event.type === "pointermove" && event.buttons === 0) return;
    if (isMouse && event.button > 0) return;
    if (action === Pointer.Down) {
      canvas.focus({ preventScroll: true });
      try { canvas.setPointerCapture(event.pointerId); } catch (e) { /* already released */ }
      resumeAudio();
    }
    const rect = canvas.getBoundingClientRect();
    call("vitrane_pointer", action, event.pointerId, isMouse ? 1 : 0, event.clientX - rect.left,
         event.clientY - rect.top, event.ctrlKey || event.altKey ? 1 : 0);
  }
  for (const type of Object.keys(pointerAction)) canvas.addEventListener(type, onPointer, { passive: false });

  // Nothing under the fingers scrolls, zooms or opens a menu.
  const stop = (event) => event.preventDefault();
  for (const type of ["touchstart", "touchmove", "touchend", "gesturestart", "gesturechange", "dblclick", "contextmenu"])
    document.addEventListener(type, stop, { passive: false });
  document.addEventListener("wheel", (event) => { if (event.ctrlKey) event.preventDefault(); }, { passive: false });

  function onKey(event) {
    if (event.target instanceof HTMLInputElement) return;
    const down = event.type === "keydown";
    if (/^Arrow|^Space$/.test(event.code)) event.preventDefault();
    callWithText("vitrane_key", ["number", "string", "number", "number"],
                 [down ? 1 : 0, event.code, event.shiftKey ? 1 : 0, event.repeat ? 1 : 0]);
  }
  document.addEventListener("keydown", onKey);
  document.addEventListener("keyup", onKey);

  // Whatever is held when the page loses the input ends here.
  window.addEventListener("blur", () => call("vitrane_cancel_touches"));
  document.addEventListener("visibilitychange", () => {
    if (document.hidden) call("vitrane_cancel_touches");
    else if (started) holdWakeLock();
  });

  // --- Motion -----------------------------------------------------------------

  window.addEventListener("deviceorientation", (e) => {
    call("vitrane_orientation", num(e.alpha), num(e.beta), num(e.gamma));
  });
  window.addEventListener("devicemotion", (e) => {
    const a = e.acceleration || {};
    const g = e.accelerationIncludingGravity || {};
    const r = e.rotationRate || {};
    call("vitrane_motion", num(a.x), num(a.y), num(a.z), num(g.x), num(g.y), num(g.z), num(r.alpha), num(r.beta),
         num(r.gamma), num(e.interval));
  });

  async function askForMotion() {
    // iOS asks the person, and only from a touch; elsewhere the events
    // simply come (or never do, on a machine without sensors).
    const askers = [window.DeviceMotionEvent, window.DeviceOrientationEvent]
      .filter((kind) => kind && typeof kind.requestPermission === "function");
    let granted = true;
    for (const kind of askers) {
      try {
        granted = (await kind.requestPermission()) === "granted" && granted;
      } catch (e) {
        granted = false;
      }
    }
    return granted;
  }

  // --- Start --------------------------------------------------------------------

  async function holdWakeLock() {
    if (!("wakeLock" in navigator) || document.hidden || wakeLock) return;
    try {
      wakeLock = await navigator.wakeLock.request("screen");
      wakeLock.addEventListener("release", () => { wakeLock = null; });
    } catch (e) {
      wakeLock = null;  // refused (battery saver, no gesture): the screen may dim
    }
  }

  function resumeAudio() {
    if (!audio) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      audio = new Context();
    }
    if (audio.state === "suspended") audio.resume().catch(() => {});
  }

  async function start(event) {
    event.preventDefault();
    if (started) {
      startOverlay.hidden = true;
      return;
    }
    started = true;
    resumeAudio();
    const motionAllowed = askForMotion();
    const root = document.documentElement;
    if (root.requestFullscreen && !document.fullscreenElement) {
      root.requestFullscreen({ navigationUI: "hide" })
        .then(() => screen.orientation && screen.orientation.lock ? screen.orientation.lock("portrait") : null)
        .catch(() => {});
    }
    holdWakeLock();
    if (await motionAllowed) {
      startOverlay.hidden = true;
    } else {
      startOverlay.querySelector(".message").textContent = "Motion is off";
      startOverlay.querySelector(".detail").textContent =
        "The browser was not allowed to read the motion sensors: the table still works by touch. Touch to go on.";
    }
  }
  startOverlay.addEventListener("pointerup", start);
  startOverlay.addEventListener("click", (event) => event.preventDefault());

  // --- Files --------------------------------------------------------------------

  const isImageFile = (file) => !file.type || file.type.startsWith("image/");
  const relativePath = (file) => file.webkitRelativePath || file.name;
  const safeName = (name) => name.replace(/[\/\\\0]/g, "_").replace(/^\.+/, "_") || "photo";

  function makeFolder(path) {
    let at = "";
    for (const part of path.split("/").filter(Boolean)) {
      at += "/" + part;
      try { Module.FS.mkdir(at); } catch (e) { /* already there */ }
    }
  }

  // The photo library is a folder of albums in the module's memory: a
  // chosen folder's subfolders are albums, loose photos are "Chosen photos".
  async function addToLibrary(files) {
    const photos = files.filter(isImageFile)
      .sort((a, b) => relativePath(a).localeCompare(relativePath(b)));
    let added = 0;
    for (const file of photos.slice(0, LIBRARY_FILES)) {
      const parts = relativePath(file).split("/");
      const album = parts.length > 2 ? parts[parts.length - 2] : parts.length === 2 ? parts[0] : "Chosen photos";
      if (file.size > LARGEST_FILE) {
        console.log("Photo library: passing over " + album + "/" + file.name + ": the file is too large");
        continue;
      }
      const folder = "/library/" + safeName(album);
      makeFolder(folder);
      try {
        const bytes = new Uint8Array(await file.arrayBuffer());
        Module.FS.writeFile(folder + "/" + safeName(file.name), bytes);
        ++added;
      } catch (e) {
        console.log("Photo library: passing over " + album + "/" + file.name + ": it cannot be read");
      }
    }
    return added;
  }

  async function choosePhoto(file) {
    makeFolder("/tmp");
    const path = "/tmp/chosen-" + (++pickedCount);
    try {
      Module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    } catch (e) {
      callWithText("vitrane_photo_cancelled", [], []);
      return;
    }
    callWithText("vitrane_photo_chosen", ["string", "string"], [path, file.name]);
  }

  async function answerChoice(choice, files) {
    if (pendingChoice === choice) pendingChoice = null;
    chooseButton.hidden = true;
    if (choice === Choice.Library) {
      const added = files.length ? await addToLibrary(files) : -1;
      call("vitrane_library_chosen", added);
    } else if (files.length) {
      await choosePhoto(files[0]);
    } else {
      call("vitrane_photo_cancelled");
    }
  }

  for (const [choice, input] of Object.entries(inputs)) {
    input.addEventListener("change", () => answerChoice(Number(choice), Array.from(input.files || [])));
    input.addEventListener("cancel", () => answerChoice(Number(choice), []));
  }
  chooseButton.addEventListener("click", () => {
    if (pendingChoice === null) return;
    chooseButton.hidden = true;
    inputs[pendingChoice].click();
  });

  // Photos dropped on the page answer the chooser that is waiting, or join
  // the library.
  // A dropped folder brings the photos inside it, its subfolders as albums.
  async function droppedFiles(transfer) {
    if (!transfer) return [];
    const entries = Array.from(transfer.items || [])
      .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null))
      .filter(Boolean);
    if (!entries.some((entry) => entry.isDirectory)) return Array.from(transfer.files || []);
    const files = [];
    const readAll = (reader) => new Promise((resolve) => {
      const all = [];
      const next = () => reader.readEntries((batch) => (batch.length ? (all.push(...batch), next()) : resolve(all)),
                                            () => resolve(all));
      next();
    });
    async function walk(entry, path) {
      if (files.length >= 100000) return;
      if (entry.isFile) {
        const file = await new Promise((resolve) => entry.file(resolve, () => resolve(null)));
        if (file) {
          Object.defineProperty(file, "webkitRelativePath", { value: path + file.name });
          files.push(file);
        }
      } else if (entry.isDirectory) {
        for (const child of await readAll(entry.createReader())) await walk(child, path + entry.name + "/");
      }
    }
    for (const entry of entries) await walk(entry, "");
    return files;
  }

  document.addEventListener("dragover", (event) => event.preventDefault());
  document.addEventListener("drop", async (event) => {
    event.preventDefault();
    const files = (await droppedFiles(event.dataTransfer)).filter(isImageFile);
    if (!files.length || !ready) return;
    if (pendingChoice === Choice.Photo || pendingChoice === Choice.Camera) {
      answerChoice(pendingChoice, files);
    } else if (pendingChoice === Choice.Library) {
      answerChoice(Choice.Library, files);
    } else {
      await addToLibrary(files);
    }
  });

  async function findCamera() {
    let available = false;
    try {
      if (navigator.mediaDevices && navigator.mediaDevices.enumerateDevices) {
        const devices = await navigator.mediaDevices.enumerateDevices();
        available = devices.some((d) => d.kind === "videoinput");
      }
    } catch (e) {
      available = false;
    }
    call("vitrane_camera_available", available ? 1 : 0);
  }

  // --- Lost pictures ---------------------------------------------------------

  canvas.addEventListener("webglcontextlost", (event) => {
    event.preventDefault();  // asks for it back
    call("vitrane_context_lost");
  });
  canvas.addEventListener("webglcontextrestored", () => call("vitrane_context_restored"));

  // --- Offline --------------------------------------------------------------------

  if ("serviceWorker" in navigator && window.isSecureContext && !/[?&]nosw\b/.test(location.search)) {
    window.addEventListener("load", () => navigator.serviceWorker.register("sw.js").catch(() => {}));
  }

  // --- The module --------------------------------------------------------------------

  window.Module = {
    canvas,
    print: (line) => console.log(line),
    printErr: (line) => console.warn(line),
  };
})();
