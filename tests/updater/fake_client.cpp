#include <unistd.h>

// A stand-in for a client that cannot run. Built as one that ends at once with the code it was built
// with, the way a program whose shared libraries are missing ends with 127 before its own code is
// reached; or as one that never comes up and never ends.
int main()
{
#ifdef BRISANTA_FAKE_HANG
    for (;;)
        ::pause();
#else
    return BRISANTA_FAKE_EXIT_CODE;
#endif
}
