// Linked only into sanitizer builds: D-Bus and fontconfig, loaded by the platform plugin,
// keep caches to the end of the process; they are not the program's leaks.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n";
}
