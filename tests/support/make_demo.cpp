// Writes the demo folder of generated MP3 files.
#include "Mp3Builder.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: brindle-make-demo FOLDER\n";
        return 2;
    }
    try {
        brindle::test::WriteDemoFolder(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "brindle-make-demo: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
