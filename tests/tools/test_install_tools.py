"""The installer cannot miss a tool again: every command and file that the
scripts, the builds and the tests use is present, and the Debian package it
comes from is one that scripts/install_tools.sh installs (or an essential
package, which every Debian machine has); so are the locales it generates.
InstallerTest runs the installer itself against stand-ins of the commands
and of binfmt_misc: a half-synced mirror, a second try, a failure, no i386."""
import os
import stat
import subprocess
import tempfile
import unittest

from tests.support.e2e import SOURCE_DIR, add_cases

COMMANDS = [
    "cmake", "ctest", "ninja", "g++", "python3", "tmux", "stty", "ps", "git", "cmp",
    "sha256sum", "dpkg", "dpkg-query", "clang", "clang++", "locale", "locale-gen",
    "i686-w64-mingw32-gcc", "i686-w64-mingw32-g++", "i686-w64-mingw32-windres",
    "i686-w64-mingw32-objdump", "x86_64-w64-mingw32-gcc", "x86_64-w64-mingw32-g++",
    "x86_64-w64-mingw32-windres", "x86_64-w64-mingw32-objdump",
    "wine", "wineserver", "wineboot", "winepath",
    "osslsigncode", "openssl", "softhsm2-util", "pkcs11-tool", "tar", "diff", "mount",
]
FILES = [
    "/usr/lib/wine/wine",    # the 32-bit loader that runs the product
    "/usr/lib/wine/wine64",  # the 64-bit loader, called by name
    "/usr/src/googletest/CMakeLists.txt",  # GoogleTest's sources, cross-built for Wine
    "/usr/include/gtest/gtest.h", "/usr/include/gmock/gmock.h",
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a",
    "/usr/lib/softhsm/libsofthsm2.so",  # the token the signing test uses
    "/usr/lib/x86_64-linux-gnu/engines-3/pkcs11.so",  # how osslsigncode reaches a token
    # clang -m32 for the i386 fuzzers: their runtime, and 32-bit glibc and libstdc++.
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-i386.a",
    "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.asan-i386.a",
    "/usr/lib32/crt1.o", "/usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.so",
    "/usr/include/asm",  # <asm/errno.h> of the 32-bit headers
]
INSTALLER = os.path.join(SOURCE_DIR, "scripts", "install_tools.sh")


def installer_lists(option):
    """What `install_tools.sh --packages` or `--locales` prints, one a line."""
    done = subprocess.run([INSTALLER, option], stdout=subprocess.PIPE, check=True)
    return done.stdout.decode().split()


def installer_packages():
    return {line.split(":")[0] for line in installer_lists("--packages")}


def locale_key(name):
    """ja_JP.UTF-8 and ja_JP.utf8 alike: `locale -a` spells them the latter way."""
    return name.lower().replace("utf-8", "utf8")


def candidates(command):
    """Every file named `command` along PATH, then in /usr/bin."""
    folders = os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin", "/usr/sbin"]
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

    def test_locales(self):
        """Wine's ANSI code page follows them: ja_JP 932, zh_CN 936, ru_RU 1251."""
        wanted = installer_lists("--locales")
        self.assertEqual({"ja_jp", "zh_cn", "ru_ru"}, {n.split(".")[0].lower() for n in wanted})
        done = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, check=True)
        present = {locale_key(n) for n in done.stdout.decode().split()}
        self.assertEqual([], [n for n in wanted if locale_key(n) not in present])


# Stand-ins of the commands the installer calls, run in the state folder; each
# logs its name and arguments to calls.log. apt-get and the i386 program exit as
# update.rc, install.rc and i386.rc say (one code a line, taken in turn); an
# install that succeeds adds its packages to `installed`, which dpkg-query reads.
# locale-gen makes `locales` (what `locale -a` prints) from etc/locale.gen.
STAND_INS = {
    "apt-get": r"""
case " $* " in *" update "*) exit "$(cat update.rc)" ;; esac
rc=$(head -n 1 install.rc); sed -i 1d install.rc
[ "$rc" = 0 ] || { echo "E: Unable to correct problems, you have held broken packages." >&2; exit "$rc"; }
skip=
for arg; do
    if [ -n "$skip" ]; then skip=; continue; fi
    case $arg in -t) skip=1 ;; -*|install) ;; *) echo "$arg" >>installed ;; esac
done""",
    "dpkg-query": r"""grep -qxF -- "${@: -1}" installed && printf installed; true""",
    "dpkg": r"""[ "$1" = --print-foreign-architectures ] && cat foreign; true""",
    "id": "cat uid",
    "sudo": r"""exec "$@" """,
    "locale": "cat locales",
    "locale-gen": r"""{ echo C; sed -n 's/^\([a-zA-Z_]*\)\.UTF-8 UTF-8$/\1.utf8/p' etc/locale.gen; } >locales""",
    "mount": "true",
    "i386-program": r"""rc=$(head -n 1 i386.rc); sed -i 1d i386.rc; exit "${rc:-0}" """,
}
REGISTRATION = (r":qemu-i386:M::\x7fELF\x01\x01\x01" + r"\x00" * 9 + r"\x02\x00\x03\x00:\xff\xff\xff\xff"
                r"\xff\xfe\xfe\x00" + r"\xff" * 8 + r"\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F")
MISSING = ["wine32:i386", "lib32stdc++-12-dev"]
LOCALE_GEN = "# de_DE.UTF-8 UTF-8\n# ja_JP.UTF-8 UTF-8\nzh_CN.UTF-8 UTF-8\n"
INSTALL = "install -y -qq --no-install-recommends --no-remove"


class InstallerTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.state = folder.name
        os.makedirs(self.path("bin"))
        os.makedirs(self.path("etc"))
        os.makedirs(self.path("binfmt"))
        self.write("i386.rc", "")
        for name, body in STAND_INS.items():
            with open(self.path("bin", name), "w") as f:
                f.write("#!/bin/bash\ncd '%s' || exit 1\necho \"%s $*\" >>calls.log\n%s\n"
                        % (self.state, name, body))
            os.chmod(self.path("bin", name), stat.S_IRWXU)
        self.write_installed([p for p in installer_lists("--packages") if p not in MISSING])
        self.write("locales", "C\nja_JP.utf8\nru_RU.utf8\nzh_CN.utf8\n")
        self.write("etc/locale.gen", LOCALE_GEN)
        self.write("etc/os-release", 'NAME="Debian GNU/Linux"\nVERSION_CODENAME=bookworm\n')
        self.write("uid", "0\n")
        self.write("foreign", "i386\n")

    def path(self, *parts):
        return os.path.join(self.state, *parts)

    def write(self, name, text):
        with open(self.path(name), "w") as f:
            f.write(text)

    def write_installed(self, packages):
        self.write("installed", "".join(p + "\n" for p in packages))

    def read(self, name):
        with open(self.path(name)) as f:
            return f.read()

    def run_installer(self, update_rc=0, install_rcs=()):
        """Exit code, output lines, and the stand-ins' calls of one run."""
        self.write("calls.log", "")
        self.write("update.rc", "%d\n" % update_rc)
        self.write("install.rc", "".join("%d\n" % rc for rc in install_rcs))
        env = dict(os.environ, PATH=self.path("bin") + os.pathsep + os.environ["PATH"],
                   INSTALL_TOOLS_ETC=self.path("etc"), I386_CHECK_BINFMT=self.path("binfmt"),
                   I386_CHECK_PROGRAM="i386-program")
        done = subprocess.run([INSTALLER], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60)
        # Those that change the machine, the kernel's registration included.
        calls = [c for c in self.read("calls.log").splitlines()
                 if c.startswith(("apt-get ", "sudo ", "locale-gen ", "dpkg --add", "mount "))]
        if os.path.exists(self.path("binfmt", "register")) and self.read("binfmt/register"):
            calls.append("register " + self.read("binfmt/register"))
        output = done.stdout.decode().replace(self.state + "/", "").splitlines()
        return done.returncode, output, [c.replace(self.state + "/", "") for c in calls]

    def test_mirror_cases(self):
        """(what, files of the machine's state, update's exit code, the
        installs' exit codes, exit code, the calls made, a line of output,
        the last when it fails)."""
        wanted = " ".join(MISSING)
        not_installed = "install_tools: still not installed: " + wanted
        update = "apt-get update -qq"
        first = "apt-get " + INSTALL + " " + wanted
        second = "apt-get " + INSTALL + " -t bookworm " + wanted
        emulator = ["apt-get " + INSTALL + " qemu-user-static",
                    "mount -t binfmt_misc binfmt_misc binfmt", "register " + REGISTRATION]
        refused = "i386 code does not run: i386-program --version exited 126"
        cases = [
            ("update fails, install works", {}, 100, [0], 0, [update, first],
             "install_tools: apt-get update failed; installing from the package lists there are"),
            ("second try preferring the release works", {}, 0, [100, 0], 0,
             [update, first, second],
             "install_tools: the install failed; trying once more preferring bookworm (-t bookworm)"),
            ("both tries fail", {}, 100, [100, 100], 1, [update, first, second], not_installed),
            ("no code name, no second try", {"etc/os-release": 'NAME="Debian GNU/Linux"\n'}, 0,
             [100], 1, [update, first], not_installed),
            ("not root: through sudo", {"uid": "1000\n"}, 0, [0], 0,
             ["sudo apt-get update -qq", update,
              "sudo env DEBIAN_FRONTEND=noninteractive apt-get " + INSTALL + " " + wanted, first],
             None),
            ("no i386 architecture yet", {"foreign": ""}, 0, [0], 0,
             ["dpkg --add-architecture i386", update, first],
             "Adding the i386 architecture for 32-bit Wine"),
            ("i386 runs natively: nothing registered", {"i386.rc": "0\n"}, 0, [0], 0,
             [update, first], None),
            ("i386 refused: the emulator installed and registered", {"i386.rc": "126\n0\n"}, 0,
             [0, 0], 0, [update, first] + emulator, "install_tools: " + refused + "; installing "
             "qemu-user-static, mounting binfmt_misc and registering the emulator for i386 executables"),
            ("a working registration left alone", {"binfmt/register": "", "binfmt/qemu-i386":
             "enabled\nmagic 7f454c4601010100000000000000000002000300\n"}, 0, [0], 0, [update, first], None),
            ("registered, i386 still refused", {"i386.rc": "126\n126\n"}, 0, [0, 0], 1,
             [update, first] + emulator, "install_tools: i386 programs still do not run with the "
             "emulator registered: " + refused),
        ]
        for what, files, update_rc, install_rcs, rc, calls, line in cases:
            with self.subTest(what):
                self.setUp()
                for name, text in files.items():
                    self.write(name, text)
                got_rc, output, got_calls = self.run_installer(update_rc, install_rcs)
                self.assertEqual(rc, got_rc, output)
                self.assertEqual(calls, got_calls)
                self.assertEqual("Installing the missing build and test tools: " + wanted, output[0])
                if line:
                    self.assertEqual(1, output.count(line), output)
                if rc:
                    self.assertEqual(line, output[-1])
                else:
                    self.assertLessEqual(set(MISSING), set(self.read("installed").split()))

    def test_missing_locales_generated_once(self):
        self.write_installed(installer_lists("--packages"))
        self.write("locales", "C\nzh_CN.utf8\n")
        rc, output, calls = self.run_installer()
        self.assertEqual(0, rc, output)
        self.assertEqual(["Generating the locales: ja_JP.UTF-8 ru_RU.UTF-8"], output)
        self.assertEqual(["locale-gen "], calls)
        # ja_JP's line uncommented, ru_RU's added, the others as they were.
        generated = "# de_DE.UTF-8 UTF-8\nja_JP.UTF-8 UTF-8\nzh_CN.UTF-8 UTF-8\nru_RU.UTF-8 UTF-8\n"
        self.assertEqual(generated, self.read("etc/locale.gen"))
        # Nothing missing: nothing done, nothing said.
        self.assertEqual((0, [], []), self.run_installer())
        self.assertEqual(generated, self.read("etc/locale.gen"))

    def test_locale_not_generated_fails(self):
        self.write_installed(installer_lists("--packages"))
        self.write("locales", "C\nzh_CN.utf8\n")
        with open(self.path("bin", "locale-gen"), "a") as f:
            f.write("echo C >locales\n")  # generates nothing after all
        rc, output, calls = self.run_installer()
        self.assertEqual(1, rc)
        self.assertEqual("install_tools: still no locale ja_JP.UTF-8 ru_RU.UTF-8", output[-1])


def case_id(kind, name):
    return kind + "_" + os.path.basename(name).replace("+", "x").replace("-", "_").replace(".", "_")


add_cases(InstalledToolsTest, [(case_id("command", c), c) for c in COMMANDS] +
          [(case_id("file", f), f) for f in FILES], InstalledToolsTest.check_from_listed_package)

if __name__ == "__main__":
    unittest.main()
