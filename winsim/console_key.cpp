// Native layer: ReadConsoleKey from the controlling terminal, one key press at
// a time, in the codes a Windows console reader gives (Enter 13, Backspace 8,
// Ctrl+C 3; cursor and function keys as 0 or 224 and then their scan code).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "platform/console_key.h"
#include "winsim/layer.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

// After Reset the keys come from a script instead of the terminal.
struct KeyScript {
    bool active = false;
    std::vector<int> keys;
    size_t next = 0;
};

KeyScript& Script() {
    static KeyScript script;
    return script;
}

// The terminal reader. Its mode is raw only while a read is under way.
int terminal = -1;
bool terminal_opened = false;
volatile sig_atomic_t mode_is_raw = 0;  // read by the signal handler
bool restore_registered = false;
termios saved_mode;
int pending_code = -1;  // the second code of a key that has two

// How long the bytes of one escape sequence may lag behind each other; an
// Escape with nothing after it within this time is the Escape key itself.
constexpr int kSequenceGapMs = 80;
// Escape sequences longer than this are nothing we know; they are dropped.
constexpr int kLongestSequence = 16;
// Returned by the sequence decoder for a sequence that names no key we report.
constexpr int kNoKey = -2;

constexpr int kPrefixFunction = 0;
constexpr int kPrefixEnhanced = 224;

struct TwoCodes {
    int prefix;
    int scan;
};

// Scan codes as the Windows console reports them.
constexpr TwoCodes kUp = {kPrefixEnhanced, 72};
constexpr TwoCodes kDown = {kPrefixEnhanced, 80};
constexpr TwoCodes kLeft = {kPrefixEnhanced, 75};
constexpr TwoCodes kRight = {kPrefixEnhanced, 77};
constexpr TwoCodes kHome = {kPrefixEnhanced, 71};
constexpr TwoCodes kEnd = {kPrefixEnhanced, 79};
constexpr TwoCodes kPageUp = {kPrefixEnhanced, 73};
constexpr TwoCodes kPageDown = {kPrefixEnhanced, 81};
constexpr TwoCodes kInsert = {kPrefixEnhanced, 82};
constexpr TwoCodes kDelete = {kPrefixEnhanced, 83};
constexpr TwoCodes kF11 = {kPrefixEnhanced, 133};
constexpr TwoCodes kF12 = {kPrefixEnhanced, 134};
constexpr TwoCodes kShiftTab = {kPrefixFunction, 15};
constexpr TwoCodes kCtrlAt = {kPrefixFunction, 3};
constexpr TwoCodes kNone = {kNoKey, 0};

// F1 to F10: 0 and 59 to 68.
constexpr TwoCodes FunctionKey(int number) { return TwoCodes{kPrefixFunction, 58 + number}; }

void RestoreTerminalMode() {
    if (!mode_is_raw) return;
    tcsetattr(terminal, TCSANOW, &saved_mode);
    mode_is_raw = 0;
}

// Signals that end the process by default. While the mode is raw, each one
// puts the terminal back first and then ends the process as it would have.
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGINT};
constexpr size_t kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
struct sigaction previous_actions[kEndingSignalCount];
bool caught[kEndingSignalCount];

void RestoreTerminalAndEnd(int number) {
    if (mode_is_raw) tcsetattr(terminal, TCSANOW, &saved_mode);
    // SA_RESETHAND has put back the default action and SA_NODEFER lets the
    // signal through at once: the process ends here, with the signal's status.
    raise(number);
}

// Signals already ignored or handled by someone else are left as they are.
void CatchEndingSignals() {
    struct sigaction action = {};
    action.sa_handler = RestoreTerminalAndEnd;
    sigemptyset(&action.sa_mask);
    for (int number : kEndingSignals) sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (size_t i = 0; i < kEndingSignalCount; ++i) {
        caught[i] = sigaction(kEndingSignals[i], nullptr, &previous_actions[i]) == 0 &&
                    previous_actions[i].sa_handler == SIG_DFL &&
                    sigaction(kEndingSignals[i], &action, nullptr) == 0;
    }
}

void ReleaseEndingSignals() {
    for (size_t i = 0; i < kEndingSignalCount; ++i) {
        if (caught[i]) sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
        caught[i] = false;
    }
}

// One byte from the terminal; -1 on end of input, an error, or when
// `timeout_ms` (unless negative) passes first.
int ReadTerminalByte(int timeout_ms) {
    if (timeout_ms >= 0) {
        pollfd ready = {terminal, POLLIN, 0};
        int count;
        do {
            count = poll(&ready, 1, timeout_ms);
        } while (count < 0 && errno == EINTR);
        if (count <= 0) return -1;
    }
    unsigned char byte;
    ssize_t got;
    do {
        got = read(terminal, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

// "ESC [ <number> ~" keys, and the letters that end "ESC [ ... x" or "ESC O x".
struct NumberedKey {
    int number;
    TwoCodes key;
};
constexpr NumberedKey kTildeKeys[] = {
    {1, kHome},           {2, kInsert},          {3, kDelete},         {4, kEnd},
    {5, kPageUp},         {6, kPageDown},        {7, kHome},           {8, kEnd},
    {11, FunctionKey(1)}, {12, FunctionKey(2)},  {13, FunctionKey(3)}, {14, FunctionKey(4)},
    {15, FunctionKey(5)}, {17, FunctionKey(6)},  {18, FunctionKey(7)}, {19, FunctionKey(8)},
    {20, FunctionKey(9)}, {21, FunctionKey(10)}, {23, kF11},           {24, kF12},
};
constexpr NumberedKey kLetterKeys[] = {{'A', kUp},
                                       {'B', kDown},
                                       {'C', kRight},
                                       {'D', kLeft},
                                       {'H', kHome},
                                       {'F', kEnd},
                                       {'P', FunctionKey(1)},
                                       {'Q', FunctionKey(2)},
                                       {'R', FunctionKey(3)},
                                       {'S', FunctionKey(4)},
                                       {'Z', kShiftTab}};

template <size_t N>
TwoCodes LookUpKey(const NumberedKey (&table)[N], int number) {
    for (const NumberedKey& row : table) {
        if (row.number == number) return row.key;
    }
    return kNone;
}

// Decodes what follows "ESC [" (modifier parameters such as ";5" are read
// and dropped: Ctrl+Up counts as Up). kNone for anything unknown or cut off.
TwoCodes ReadControlSequence() {
    int number = 0;
    bool first_parameter = true;
    for (int i = 0; i < kLongestSequence; ++i) {
        const int byte = ReadTerminalByte(kSequenceGapMs);
        if (byte < 0) return kNone;
        if (i == 0 && byte == '[') {  // the Linux console's "ESC [ [ A" is F1 .. "E" F5
            const int letter = ReadTerminalByte(kSequenceGapMs);
            return letter >= 'A' && letter <= 'E' ? FunctionKey(letter - 'A' + 1) : kNone;
        }
        if (byte >= '0' && byte <= '9') {
            if (first_parameter && number < 1000) number = number * 10 + (byte - '0');
        } else if (byte == ';') {
            first_parameter = false;
        } else if (byte >= 0x40 && byte <= 0x7e) {
            return byte == '~' ? LookUpKey(kTildeKeys, number) : LookUpKey(kLetterKeys, byte);
        } else if (byte < 0x20 || byte > 0x3f) {
            return kNone;  // not a sequence byte at all
        }
    }
    return kNone;
}

// One key press from the terminal, in its first code; a second code is left
// in pending_code. -1 when the terminal gives nothing more.
int ReadTerminalKey() {
    for (;;) {
        const int byte = ReadTerminalByte(-1);
        if (byte < 0) return -1;
        if (byte == 0x7f) return 8;  // the terminal's Backspace
        if (byte == 0) {
            pending_code = kCtrlAt.scan;
            return kCtrlAt.prefix;
        }
        if (byte != 0x1b) return byte;

        const int next = ReadTerminalByte(kSequenceGapMs);
        if (next < 0) return 0x1b;  // Escape alone
        TwoCodes key = kNone;
        if (next == '[') {
            key = ReadControlSequence();
        } else if (next == 'O') {
            key = LookUpKey(kLetterKeys, ReadTerminalByte(kSequenceGapMs));
        } else {
            // Escape and then another key (or Alt with a key): two presses.
            if (next != 0) pending_code = next == 0x7f ? 8 : next;
            return 0x1b;
        }
        if (key.prefix == kNoKey) continue;  // a key we do not report: skipped
        pending_code = key.scan;
        return key.prefix;
    }
}

}  // namespace

void ScriptConsoleKeys(std::initializer_list<int> keys) {
    KeyScript& script = Script();
    script.active = true;
    script.keys.assign(keys.begin(), keys.end());
    script.next = 0;
    pending_code = -1;
}

void ResetConsoleKeys() { ScriptConsoleKeys({}); }

}  // namespace winsim

namespace {

void RestoreTerminalAtExit() { winsim::RestoreTerminalMode(); }

}  // namespace

int ReadConsoleKey() {
    DWORD fault;
    if (winsim::CallFails(&fault, "ReadConsoleKey", "%s", "")) return -1;
    if (winsim::pending_code >= 0) {
        const int code = winsim::pending_code;
        winsim::pending_code = -1;
        return code;
    }
    winsim::KeyScript& script = winsim::Script();
    if (script.active) {
        return script.next < script.keys.size() ? script.keys[script.next++] : -1;
    }

    // The controlling terminal, not standard input, as a console reader would.
    if (!winsim::terminal_opened) {
        winsim::terminal_opened = true;
        winsim::terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    if (winsim::terminal < 0) return -1;
    termios mode;
    if (tcgetattr(winsim::terminal, &mode) != 0) return -1;
    winsim::saved_mode = mode;
    // No echo, no line editing, no signals (Ctrl+C arrives as 3), Enter as 13.
    mode.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    mode.c_iflag &= ~(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (!winsim::restore_registered) {
        // Should the process end while the mode is raw, the shell gets its mode back.
        winsim::restore_registered = atexit(RestoreTerminalAtExit) == 0;
    }
    winsim::CatchEndingSignals();
    // Marked raw before it is: a signal in between restores a mode never left.
    winsim::mode_is_raw = 1;
    if (tcsetattr(winsim::terminal, TCSANOW, &mode) != 0) {
        winsim::mode_is_raw = 0;
        winsim::ReleaseEndingSignals();
        return -1;
    }
    const int key = winsim::ReadTerminalKey();
    winsim::RestoreTerminalMode();
    winsim::ReleaseEndingSignals();
    return key;
}
