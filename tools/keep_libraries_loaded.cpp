// Linked into the programs of the sanitizer build only (VITRANE_SANITIZE).
//
// The leak checker runs at exit and names each leaked block by the
// libraries on its allocation stack. Mesa's EGL driver and SDL's video
// back ends are unloaded with dlclose() before then, so what they keep for
// the life of the process turns up as nameless leaks that no suppression
// can match. Keeping every library loaded lets tools/lsan.supp name them,
// and leaves our own leaks reported as they should be.
extern "C" __attribute__((visibility("default"))) int dlclose(void* /*handle*/) { return 0; }
