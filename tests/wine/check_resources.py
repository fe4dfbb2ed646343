"""Checks what a Windows user sees of the exe besides its output: a stripped
console program with a version resource (maker, product and file name, version 1.00)
and an application manifest that asks for no elevation."""
import subprocess
import sys

objdump, exe = sys.argv[1], sys.argv[2]
with open(exe, "rb") as f:
    image = f.read()
headers = subprocess.run([objdump, "-p", exe], stdout=subprocess.PIPE, check=True).stdout.decode()

failures = []


def expect(what, condition):
    if not condition:
        failures.append(what)


def utf16(text):
    return text.encode("utf-16-le")


symbols = subprocess.run([objdump, "-t", exe], stdout=subprocess.PIPE, check=True).stdout.decode()

expect("console subsystem", "(Windows CUI)" in headers)
expect("stripped of symbols", "no symbols" in symbols)
for name, value in [("CompanyName", "Vantorelkis, Inc."), ("ProductName", "fix_tamrix"),
                    ("InternalName", "fix_tamrix"), ("OriginalFilename", "fix_tamrix.exe"),
                    ("FileVersion", "1.00"), ("ProductVersion", "1.00")]:
    at = image.find(utf16(name))
    expect("version resource %s" % name, at >= 0)
    expect("version resource %s = %s" % (name, value),
           at >= 0 and utf16(value) in image[at:at + 200])
expect("manifest asking for asInvoker", b'requestedExecutionLevel level="asInvoker"' in image)
for failure in failures:
    print("missing: " + failure)
print("%d checks failed" % len(failures))
sys.exit(1 if failures else 0)
