// A second process for the engine tests: started with a command and a table
// path, it does the work and exits 0 on success.
#include <cstdio>

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "dbase_helper: no command\n");
    return 2;
}
