// A stand-in for a client that cannot run: it ends at once with the code it was built with, the way
// a program whose shared libraries are missing ends with 127 before its own code is reached.
int main()
{
    return BRISANTA_FAKE_EXIT_CODE;
}
