"""What a release ships beside the program, against the program under Wine.

README.TXT (docs/README.TXT, copied into the zip as it is): ASCII, CRLF
lines of at most 76 columns, and every fact of the program that it states
(the pause, the command line, the options, the usage text, the exit codes,
the log's and the undo data's names and places, the log lines an
administrator looks for) is read out of it and checked against a run.

The signed exe, signed as scripts/sign_exe.sh signs a release with a
throw-away key made for the test: it verifies with that certificate as the
trusted CA and fails to once one byte is changed, gives back the build less
its signature, passes the loader test, and cleans exactly as the unsigned
exe does. The same key on a PKCS#11 token (SoftHSM, in a folder of the
test's own) signs the same bytes."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from tests.support.e2e import (SCREEN, SOURCE_DIR, SYSTEM_REG, TRAY, UNDO_FILE, WineTestCase,
                               expected_text, read_log, run_key_values, seed_run_key, setting,
                               stamps_masked, windows_lines)
from tests.wine import pe_image

README = os.path.join(SOURCE_DIR, "docs", "README.TXT")
SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"
SYS_TXT = '"sys"="%s\\\\List.txt.scr"' % SYSTEM_REG


def readme_text():
    return Path(README).read_bytes().decode("ascii").replace("\r\n", "\n")


def section(title):
    """The lines of one part of README.TXT: those after its underlined
    title, up to the next such title."""
    lines = readme_text().split("\n")
    start = next(i for i, line in enumerate(lines)
                 if line == title and lines[i + 1] == "-" * len(title)) + 2
    end = next((i - 1 for i in range(start + 1, len(lines))
                if lines[i] and lines[i] == "-" * len(lines[i]) and lines[i - 1]), len(lines))
    return lines[start:end]


def fact(title, pattern):
    """The first group of `pattern` in a part of README.TXT (its lines
    joined by spaces, so that a fact may wrap)."""
    match = re.search(pattern, " ".join(section(title)))
    if match is None:
        raise AssertionError("README.TXT, %s: nothing matches %r" % (title, pattern))
    return match.group(1)


def template(line):
    """A regular expression for a whole log line, time stamp masked, that
    README.TXT writes with "..." for what varies."""
    return ("<stamp>" + re.escape(line.strip()).replace(re.escape("..."), "[^\r\n]*")
            + "\r\n")


class ReadmeTest(WineTestCase):
    seeds_run_key = True

    def test_plain_ascii_crlf_76_columns(self):
        data = Path(README).read_bytes()
        self.assertTrue(data.isascii(), "ASCII")
        self.assertTrue(data.endswith(b"\r\n"), "the last line ends")
        self.assertEqual(data.replace(b"\r\n", b"").count(b"\n"), 0, "a bare LF")
        self.assertEqual(data.replace(b"\r\n", b"").count(b"\r"), 0, "a bare CR")
        self.assertNotIn(b"\t", data)
        long_lines = [line for line in data.split(b"\r\n") if len(line) > 76]
        self.assertEqual(long_lines, [])
        self.assertEqual([line for line in data.split(b"\r\n") if line != line.rstrip()], [],
                         "trailing blanks")

    def test_usage_text_and_options(self):
        lines = section("RUNNING IT")
        # The usage text, indented by four.
        start = lines.index("fix_tamrix /? shows this usage text:") + 2
        block = []
        for line in lines[start:]:
            if line and not line.startswith("    "):
                break
            block.append(line[4:])
        usage = "\n".join(block).rstrip("\n") + "\n"
        self.assertEqual(usage, expected_text("usage.txt").rstrip("\n") + "\n")
        code, output = self.run_program(["/?"])
        self.assertEqual(code, 1, "exit code after /?")
        self.assertTrue(output.endswith(windows_lines(usage + "\n")), output)

        # The options listed, and the command line that names them.
        listed = [m.group(1) for m in (re.match(r"  (/\S)( <[^>]*>)?  ", l) for l in lines) if m]
        self.assertEqual(listed, ["/Q", "/L", "/?"])
        synopsis = next(line.strip() for line in lines if line.startswith("  fix_tamrix ["))
        self.assertEqual(re.findall(r"\[(/\S)", synopsis), listed)

        folder = self.temp_folder()
        code, output = self.run_program(["-q", "/L", "named.log"], cwd=folder)
        self.assertEqual(code, 0)
        self.assertIn(b"\r\nQUIET MODE\r\n", output, "-q is /Q")
        self.assertTrue(os.path.isfile(os.path.join(folder, "named.log")),
                        "/L with a bare name logs in the current folder")
        limit = int(fact("RUNNING IT", r"at most (\d+) characters"))
        code, output = self.run_program(["/Q", "/L", "x" * limit], cwd=folder)
        self.assertEqual(code, 0, "a log path as long as the limit")
        code, output = self.run_program(["/Q", "/L", "x" * (limit + 1)], cwd=folder)
        self.assertEqual(code, 2, "a log path longer than the limit")
        self.assertIn(b"at most %d characters" % limit, output)

    def test_pause(self):
        lines = section("RUNNING IT")
        prompt = lines[lines.index("what it is and what it will do, and then waits with the line")
                       + 2].strip()
        # With no console to read a key from, the pause shows its line and
        # the run goes on.
        code, output = self.run_program(["/L", "run.log"], cwd=self.temp_folder())
        self.assertEqual(code, 0)
        self.assertIn(b"\r\n" + prompt.encode() + b"\r\n", output)
        self.assertNotIn(b"QUIET MODE", output)

    def test_exit_codes(self):
        listed = [int(m.group(1)) for m in
                  (re.match(r"  (\d)  ", line) for line in section("EXIT CODES")) if m]
        # Ctrl+C at the pause (1) needs a key typed into a terminal: the
        # terminal tests (tests/interactive) check it on the native build.
        runs = {0: ["/Q", "/L", "run.log"], 1: ["/?"], 2: ["/X"]}
        self.assertEqual(listed, sorted(runs))
        for code, args in runs.items():
            with self.subTest(args=args):
                self.assertEqual(self.run_program(args, cwd=self.temp_folder())[0], code)

    def test_log_undo_data_and_what_administrators_read(self):
        log_name = fact("THE LOG AND THE UNDO DATA",
                        r"appends to its log: (\S+) in the program's folder")
        # The one place that states the undo data's name and place.
        undo_name = fact("THE LOG AND THE UNDO DATA",
                         r"saves it in the file (\S+) in the log's folder")
        saved_line = fact("THE LOG AND THE UNDO DATA", r'the log says so \("([^"]*\.\.\.)"\)')
        admin = section("FOR ADMINISTRATORS: CLEANING MANY MACHINES")
        deleted, not_found = [line for line in admin if line.startswith("  Registry ")]

        # A copy of the program in a folder of its own, run from another.
        folder = self.temp_folder()
        program = os.path.join(folder, "program")
        exe = self.copy_program(program)
        seed_run_key(folder, [SCREEN, TRAY])
        code, _ = self.run_loader(exe, ["/Q"], cwd=folder)
        self.assertEqual(code, 0)
        # The undo file's name: a pattern, the run's date and time in it.
        undo_pattern = re.escape(undo_name).replace("YYYYMMDD", r"\d{8}").replace("hhmmss", r"\d{6}")
        listed = sorted(os.listdir(program))
        undo_files = [name for name in listed if re.fullmatch(undo_pattern, name)]
        self.assertEqual(len(undo_files), 1, listed)
        self.assertEqual(listed, sorted([os.path.basename(self.exe), log_name] + undo_files))
        logged = read_log(os.path.join(program, log_name)).decode("latin-1")
        for line in (saved_line, deleted, not_found):
            self.assertRegex(logged, template(line), "a line the text quotes")
        self.assertRegex(logged, template(deleted.replace("...", "screen", 1)))
        self.assertNotRegex(logged, template(not_found.replace("...", "screen", 1)))

        # Undo data with no folder to go to: the value goes, and the screen says so.
        unsaved = fact("THE LOG AND THE UNDO DATA", r'the log say so \("([^"]*\.\.\.)"\)')
        seed_run_key(folder, [SCREEN, TRAY])
        code, output = self.run_loader(exe, ["/Q", "/L", "missing\\x.log"], cwd=folder)
        self.assertEqual(code, 0)
        self.assertRegex(output.decode("latin-1"), "\r\n" + template(unsaved)[len("<stamp>"):])
        self.assertEqual(set(run_key_values()), {"Tray"})

        # The administrators' command line uses options the program knows.
        command = next(line.split() for line in admin if line.startswith("  fix_tamrix.exe "))
        self.assertEqual([a for a in command[1:] if a.startswith("/")], ["/Q", "/L"])
        self.assertTrue(os.path.isfile(os.path.join(
            SOURCE_DIR, *fact("FOR ADMINISTRATORS: CLEANING MANY MACHINES",
                              r"holds (examples\\\S+),").split("\\"))))


def run_masked(data):
    """A file of a run with what differs from run to run masked: time
    stamps and undo file names, in UTF-16 text too."""
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le").encode("latin-1", "backslashreplace")
        return b"\xff\xfe" + run_masked(text)
    return UNDO_FILE.sub(b"<undo file>", stamps_masked(data))


def check_call(args, **kwargs):
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)
    if done.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (args[0], done.returncode,
                                                     done.stdout.decode(errors="replace")))
    return done.stdout


def verify(exe, certificate):
    """(exit code, output) of osslsigncode verify with `certificate` as the CA."""
    done = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", exe],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout


class SignedExeTest(WineTestCase):
    seeds_run_key = True

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        folder = tempfile.mkdtemp(prefix="fix_tamrix_signed_")
        cls.addClassCleanup(shutil.rmtree, folder, ignore_errors=True)
        cls.folder = folder
        cls.key = os.path.join(folder, "key")
        check_call([os.path.join(SOURCE_DIR, "tests", "support", "make_signing_key.sh"), cls.key])
        cls.certificate = os.path.join(cls.key, "cert.pem")
        os.mkdir(os.path.join(folder, "signed"))
        cls.signed = os.path.join(folder, "signed", os.path.basename(cls.exe))
        cls.sign(cls.signed, FIX_TAMRIX_SIGN_P12=os.path.join(cls.key, "key.p12"),
                 FIX_TAMRIX_SIGN_PASS_FILE=os.path.join(cls.key, "pass.txt"))

    @classmethod
    def sign(cls, signed, **settings):
        """Signs the exe into `signed` as a release is signed, with the key
        that `settings` name, at one fixed time."""
        check_call([os.path.join(SOURCE_DIR, "scripts", "sign_exe.sh"), cls.exe, signed,
                    "1700000000"], env=dict(os.environ, **settings))

    def test_verifies_with_its_certificate(self):
        code, output = verify(self.signed, self.certificate)
        self.assertEqual(code, 0, output)
        self.assertIn(b"Signature verification: ok", output)
        self.assertIn(b"Message digest algorithm  : SHA256", output)

    def test_one_changed_byte_fails_verification(self):
        data = Path(self.signed).read_bytes()
        image = pe_image.PeImage(data)
        table, size = image.directory(pe_image.CERTIFICATE_DIRECTORY)
        # In the code, in the last section, and in the signature's own bytes.
        for name, offset in [("code", image.sections[0]["raw_offset"] + 16),
                             ("last section", image.sections[-1]["raw_offset"] + 8),
                             ("signature", table + size - 16)]:
            with self.subTest(name):
                changed = os.path.join(self.folder, "changed.exe")
                Path(changed).write_bytes(data[:offset] + bytes([data[offset] ^ 0x01])
                                          + data[offset + 1:])
                code, output = verify(changed, self.certificate)
                self.assertNotEqual(code, 0, output)

    def test_less_its_signature_is_the_build(self):
        unsigned = os.path.join(self.folder, "unsigned.exe")
        check_call(["osslsigncode", "remove-signature", "-in", self.signed, "-out", unsigned])
        self.assertTrue(Path(unsigned).read_bytes() == Path(self.exe).read_bytes(),
                        "the build, byte for byte")

    def test_token_signs_as_the_pkcs12_file(self):
        folder = os.path.join(self.folder, "token")
        os.makedirs(os.path.join(folder, "objects"))
        config = os.path.join(folder, "softhsm2.conf")
        Path(config).write_text("directories.tokendir = %s\nobjectstore.backend = file\n"
                                % os.path.join(folder, "objects"))
        env = dict(os.environ, SOFTHSM2_CONF=config)
        pin = os.path.join(folder, "pin.txt")
        Path(pin).write_text("4711\n")
        check_call(["softhsm2-util", "--init-token", "--free", "--label", "release",
                    "--pin", "4711", "--so-pin", "0815"], env=env)
        key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.der")
        check_call(["openssl", "pkcs12", "-in", os.path.join(self.key, "key.p12"), "-nocerts",
                    "-nodes", "-passin", "file:" + os.path.join(self.key, "pass.txt"),
                    "-out", key])
        check_call(["openssl", "x509", "-in", self.certificate, "-outform", "DER",
                    "-out", certificate])
        for kind, path in (("privkey", key), ("cert", certificate)):
            check_call(["pkcs11-tool", "--module", SOFTHSM_MODULE, "--token-label", "release",
                        "--login", "--pin", "4711", "--write-object", path, "--type", kind,
                        "--id", "01", "--label", "signer"], env=env)
        signed = os.path.join(folder, "fix_tamrix.exe")
        self.sign(signed, SOFTHSM2_CONF=config, FIX_TAMRIX_SIGN_PKCS11=SOFTHSM_MODULE,
                  FIX_TAMRIX_SIGN_CERT="pkcs11:token=release;object=signer;type=cert",
                  FIX_TAMRIX_SIGN_KEY="pkcs11:token=release;object=signer;type=private",
                  FIX_TAMRIX_SIGN_PASS_FILE=pin)
        self.assertTrue(Path(signed).read_bytes() == Path(self.signed).read_bytes(),
                        "the token's signature is the file's")

    def test_loadable(self):
        output = check_call([sys.executable, os.path.join(SOURCE_DIR, "tests", "wine",
                                                          "loadable_test.py"),
                             self.signed, setting("FIX_TAMRIX_MAP"), "--signed"])
        self.assertIn(b"\nOK", output)

    def test_cleans_as_the_unsigned_exe(self):
        results = []
        for exe in (self.exe, self.signed):
            folder = self.temp_folder()
            seed_run_key(folder, [SCREEN, SYS_TXT, TRAY])
            code, output = self.run_loader(exe, ["/Q", "/L", "case.log"], cwd=folder)
            files = {}
            for name in sorted(os.listdir(folder)):
                shown = UNDO_FILE.sub(b"<undo file>", name.encode()).decode()
                files[shown] = run_masked(Path(folder, name).read_bytes())
            results.append((code, output, files, run_key_values()))
        self.assertEqual(results[1], results[0])
        code, output, files, left = results[0]
        self.assertEqual(code, 0)
        self.assertIn(b'Deleting registry value "screen"', output)
        self.assertEqual(sorted(left), ["Tray"])
        self.assertIn("case.log", files)


if __name__ == "__main__":
    unittest.main()
