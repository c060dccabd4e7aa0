// Linked only into sanitizer builds of the programs that run the web engine. Faults that
// lie inside the system's libraries are not the program's: Qt WebEngine frees some of
// its objects through a base of another size, and it, the platform plugin, D-Bus and
// fontconfig keep allocations to the end whose stacks the fast unwinder cannot follow
// into those libraries, so no suppression can name them. Leak checking stays on for the
// programs without the web engine.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0:detect_leaks=0";
}
