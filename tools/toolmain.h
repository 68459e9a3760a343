#pragma once
// The main function of a command-line tool: runs the tool and turns an exception escaping it
// into one line "NAME: reason" on standard error and exit code 1.

#include <exception>
#include <iostream>
#include <new>
#include <string_view>

// What run returns, or 1 after an exception (out of memory, any std::exception, anything else).
inline int RunToolMain(std::string_view name, int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << name << ": out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << "\n";
    } catch (...) {
        std::cerr << name << ": stopped by an unknown failure\n";
    }
    return 1;
}
