"""The installer cannot miss a tool again: every command and file that the
scripts, the builds and the tests use is present, and the Debian package it
comes from is one that scripts/install_tools.sh installs (or an essential
package, which every Debian machine has)."""
import os
import subprocess
import unittest

from tests.support.e2e import SOURCE_DIR, add_cases

COMMANDS = [
    "cmake", "ctest", "ninja", "g++", "python3", "tmux", "stty", "ps", "git", "cmp",
    "sha256sum", "dpkg", "dpkg-query", "clang", "clang++",
    "i686-w64-mingw32-gcc", "i686-w64-mingw32-g++", "i686-w64-mingw32-windres",
    "i686-w64-mingw32-objdump", "x86_64-w64-mingw32-gcc", "x86_64-w64-mingw32-g++",
    "x86_64-w64-mingw32-windres", "x86_64-w64-mingw32-objdump",
    "wine", "wineserver", "wineboot", "winepath",
    "osslsigncode", "openssl", "softhsm2-util", "pkcs11-tool", "tar", "diff",
]
FILES = [
    "/usr/lib/wine/wine",    # the 32-bit loader that runs the product
    "/usr/lib/wine/wine64",  # the 64-bit loader, called by name
    "/usr/src/googletest/CMakeLists.txt",  # GoogleTest's sources, cross-built for Wine
    "/usr/include/gtest/gtest.h", "/usr/include/gmock/gmock.h",
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a",
    "/usr/lib/softhsm/libsofthsm2.so",  # the token the signing test uses
    "/usr/lib/x86_64-linux-gnu/engines-3/pkcs11.so",  # how osslsigncode reaches a token
]


def installer_packages():
    done = subprocess.run([os.path.join(SOURCE_DIR, "scripts", "install_tools.sh"), "--packages"],
                          stdout=subprocess.PIPE, check=True)
    return {line.split(":")[0] for line in done.stdout.decode().split()}


def candidates(command):
    """Every file named `command` along PATH, then in /usr/bin."""
    folders = os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin"]
    found = []
    for folder in folders:
        path = os.path.join(folder, command)
        if os.path.isfile(path) and os.access(path, os.X_OK) and path not in found:
            found.append(path)
    return found


def link_chain(path):
    """`path` and every link it leads through (alternatives included), to the file."""
    chain = [path]
    while os.path.islink(chain[-1]) and len(chain) < 20:
        target = os.readlink(chain[-1])
        chain.append(os.path.normpath(os.path.join(os.path.dirname(chain[-1]), target)))
    return chain


def owners(paths):
    """{path: packages that dpkg says hold it, without architecture} in one query."""
    done = subprocess.run(["dpkg", "-S"] + sorted(set(paths)), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
    found = {}
    for line in done.stdout.decode().splitlines():
        packages, _, path = line.partition(": ")
        found[path] = {package.split(":")[0] for package in packages.split(", ")}
    return found


def essential_packages(packages):
    done = subprocess.run(["dpkg-query", "-W", "-f=${Package} ${Essential}\n"] + sorted(packages),
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return {line.split()[0] for line in done.stdout.decode().splitlines()
            if line.endswith(" yes")}


class InstalledToolsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.paths = {c: candidates(c) for c in COMMANDS}
        cls.paths.update({f: [f] if os.path.exists(f) else [] for f in FILES})
        cls.owners = owners([p for paths in cls.paths.values() for path in paths
                             for p in link_chain(path)])
        found = set().union(*cls.owners.values())
        cls.packages = installer_packages() | essential_packages(found)

    def check_from_listed_package(self, what):
        paths = self.paths[what]
        self.assertTrue(paths, "%s is not installed" % what)
        found = set().union(*(self.owners.get(p, set()) for path in paths
                              for p in link_chain(path)))
        self.assertTrue(found & self.packages,
                        "%s (%s) comes from %s, which install_tools.sh does not install"
                        % (what, ", ".join(paths), ", ".join(sorted(found)) or "no package"))


    def test_i386_architecture(self):
        done = subprocess.run(["dpkg", "--print-foreign-architectures"], stdout=subprocess.PIPE)
        self.assertIn("i386", done.stdout.decode().split())




def case_id(kind, name):
    return kind + "_" + os.path.basename(name).replace("+", "x").replace("-", "_").replace(".", "_")


add_cases(InstalledToolsTest, [(case_id("command", c), c) for c in COMMANDS] +
          [(case_id("file", f), f) for f in FILES], InstalledToolsTest.check_from_listed_package)

if __name__ == "__main__":
    unittest.main()
