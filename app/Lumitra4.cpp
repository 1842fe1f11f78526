// Lumitra4: browses, develops, saves and prints the photographs of the maker's
// cameras.
//
//   Lumitra4 [folder or file]

#include "app/CLumitraBrowserApp.h"

#include <string>
#include <vector>

namespace {

// The program's one application object.
CLumitraBrowserApp theApp;

} // namespace

int main(int argc, char** argv)
{
    theApp.SetArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    return AfxWinMain(argc, argv);
}
