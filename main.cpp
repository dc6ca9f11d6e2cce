// Program entry. The game itself is started from game/ once its main window exists; until
// then the program says so plainly and fails.
#include <cstdio>

int main() {
    std::fputs("solvane: the game cannot start yet: its main window and frame loop are not built.\n",
               stderr);
    return 1;
}
