// installdemo SOURCE-TREE BUILD-FOLDER [--data FOLDER] [--out FOLDER] [--fresh]: lays out the demo
// install, a device root with the program's files around the folder osm2nav wrote (default
// <build>/extract), into <build>/install or FOLDER. Only an earlier install (or an empty folder)
// there is replaced, and none a running program holds: the new root is built beside it and put
// in its place when complete, with the earlier one's documents, files of the user, logbook,
// presettings, destination lists and tour points unless --fresh is given; on failure the old one
// is left as it was. Exits 1 with a message also when the new install is in place but a folder of
// the installer's own beside it could not be removed.
#include "tools/install/demoinstall.h"
#include "tools/toolmain.h"

#include <filesystem>
#include <iostream>
#include <string_view>

namespace {

int Run(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: installdemo SOURCE-TREE BUILD-FOLDER [--data FOLDER] [--out FOLDER] "
                     "[--fresh]\n";
        return 2;
    }
    const std::filesystem::path build = argv[2];
    demoinstall::InstallOptions options;
    options.source = argv[1];
    options.data = build / "extract";
    options.programFiles = build / "languages";
    options.demoData = build / "demo";
    options.navigator = build / "app" / "navigator";
    options.output = build / "install";
    for (int i = 3; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--data" && i + 1 < argc) {
            options.data = argv[++i];
        } else if (argument == "--out" && i + 1 < argc) {
            options.output = argv[++i];
        } else if (argument == "--fresh") {
            options.fresh = true;
        } else {
            std::cerr << "installdemo: unknown argument " << argument << "\n";
            return 2;
        }
    }
    demoinstall::DemoRoute route;
    if (const std::string error = demoinstall::Install(options, route, std::cerr); !error.empty()) {
        std::cerr << "installdemo: " << error << "\n";
        return 1;
    }
    std::cout << "installdemo: installed in " << options.output.string() << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return RunToolMain("installdemo", Run, argc, argv);
}
