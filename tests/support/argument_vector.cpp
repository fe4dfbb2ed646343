#include "support/argument_vector.h"

#ifndef _WIN32
#include "winsim/test_hooks.h"
#endif

ArgumentVector::ArgumentVector(const std::vector<std::string>& arguments, const char* program) {
    strings_.push_back(program);
    strings_.insert(strings_.end(), arguments.begin(), arguments.end());
    for (std::string& argument : strings_) pointers_.push_back(&argument[0]);
    pointers_.push_back(nullptr);
#ifndef _WIN32
    winsim::SetCommandLine(winsim::CommandLineOf(strings_).c_str());
#endif
}
