#!/usr/bin/env bash
# Says in one line how i386 (32-bit x86) Linux programs run on this host, by
# running one (the arguments; by default the 32-bit Wine loader, --version):
#   i386 code runs natively
#   i386 code runs under emulation (binfmt_misc entry <name>: <interpreter>)
#   i386 code does not run: <program> exited <code>: <its last line>
# Exits 0 when it runs, 1 when it does not. Some kernels refuse i386 code
# (ENOEXEC); an emulator registered in binfmt_misc runs it there. Such an
# entry is tried before the kernel's own loader, so where there is one the
# code runs emulated even on a kernel that could run it.
# I386_CHECK_BINFMT names another folder than /proc/sys/fs/binfmt_misc, and
# I386_CHECK_PROGRAM another default program.
set -u
binfmt=${I386_CHECK_BINFMT:-/proc/sys/fs/binfmt_misc}
[ $# -gt 0 ] || set -- "${I386_CHECK_PROGRAM:-/usr/lib/wine/wine}" --version

# "<name>: <interpreter>" of the enabled entry for i386 ELF executables, if any.
i386_entry() {
    local entry
    for entry in "$binfmt"/*; do
        case ${entry##*/} in register|status) continue ;; esac
        [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
        grep -qx 'magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null || continue
        echo "${entry##*/}: $(sed -n 's/^interpreter //p' "$entry")"
        return
    done
}

errors=$("$@" 2>&1 >/dev/null) && rc=0 || rc=$?
if [ $rc != 0 ]; then
    # The last line said, without the shell's "<script>: line <n>: ".
    last=${errors##*$'\n'}
    echo "i386 code does not run: $* exited $rc${last:+: ${last#"$0: line "*": "}}"
    exit 1
fi
entry=$(i386_entry)
if [ -n "$entry" ]; then
    echo "i386 code runs under emulation (binfmt_misc entry $entry)"
else
    echo "i386 code runs natively"
fi
