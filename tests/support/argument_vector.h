// An argument vector as main receives it, built from strings for a test.
#pragma once

#include <string>
#include <vector>

// `program`, then `arguments`, then nullptr; each string a writable copy
// owned by the vector, as main's are. argc counts the program name.
// Natively it also becomes the wide command line the stand-in gives, as
// Windows gives the one that main's arguments came from.
class ArgumentVector {
  public:
    explicit ArgumentVector(const std::vector<std::string>& arguments,
                            const char* program = "fix_tamrix");
    ArgumentVector(const ArgumentVector&) = delete;
    ArgumentVector& operator=(const ArgumentVector&) = delete;

    int argc() const { return static_cast<int>(strings_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};
