// The extraction engine: walks the file records of every span volume of a
// package, inflates or copies each entry, writes or appends it under its
// name in the target folder with its time stamp, tests each volume's
// checksum, asks for further volumes, and on request writes a derived
// update agent file.
//
// The engine itself is portable; what needs the window system (pumping,
// message boxes, AutoPlay, the CD drive) goes through TUnPackHost.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Progress sink: (kind, reserved, maximum, position, step, text). Kind 0
// starts a range 0..maximum, kind 1 advances one step.
using TUnPackProgress =
    std::function<void(int kind, int reserved, int maximum, int position, int step, const std::string& text)>;

struct TUnPackHost {
    // Dispatches pending window messages between chunks.
    std::function<void()> PumpMessages;
    // Waits the given milliseconds with messages dispatched.
    std::function<void(int milliseconds)> WaitPumping;
    // The OK/Cancel question of the disk prompt; true for OK.
    std::function<bool(const std::string& text, const std::string& caption, int charset,
                       const std::string& buttonTexts)>
        ConfirmOkCancel;
    // The error box (default caption and buttons).
    std::function<void(const std::string& text)> ShowError;
    // Ejects the medium of the drive of a path when it is a CD drive.
    std::function<bool(const std::string& path)> EjectCD;
    // Keeps inserted disks from starting AutoPlay while the prompt is up.
    std::function<void()> SetAutoPlayCancel;
    // Id of this process, for the debug line of the agent file.
    std::function<unsigned long()> ProcessId;
};

// The platform's own host: on Windows the real pump, message boxes, eject
// and AutoPlay message; natively no pumping and no prompts (a prompt counts
// as cancelled) and errors on stderr.
TUnPackHost DefaultUnPackHost();

struct TUnPackParams {
    std::string PackageFile;
    std::string TargetDir;
    std::string AgentName;
    TUnPackProgress Progress;
    std::string DiskPrompt;
    std::string PromptCaption;
    std::string ButtonTexts;
    int Charset = 0;
    bool ForcePrompt = false;
    // The most file bytes the extraction may write in all. One more ends it
    // as failed (UnPackStoppedAtLimit tells) before that byte is written; the
    // file being written then is removed unless it existed before.
    uint64_t OutputLimit = UINT64_MAX;
};

// Extracts a package; see TUnPackParams for the inputs. Success is true when
// the last volume tested passed the checksum test, nothing was damaged, every
// file was written (UnPackFailedWrites is 0) and the marked program, if any,
// is sound (see MainEntry). MainEntry is the name item of the last entry
// marked with "*" ("" when none or when a disk prompt was cancelled), but
// only when the program it names (MainEntryProgram) is a file that this
// extraction created inside the target folder and wrote completely, and no
// write of the extraction failed; otherwise it is "" and Success is false,
// so nothing runs. Never raises.
void UnPack(const TUnPackParams& params, bool& Success, std::string& MainEntry,
            const TUnPackHost& host = DefaultUnPackHost());

void UnPack(const std::string& PackageFile, const std::string& TargetDir, const std::string& AgentName,
            bool& Success, const TUnPackProgress& Progress, const std::string& DiskPrompt,
            const std::string& PromptCaption, const std::string& ButtonTexts, int Charset, bool ForcePrompt,
            std::string& MainEntry);

// File writes that failed in the latest extraction (refused names included).
// The error box shows only for the first of them.
int UnPackFailedWrites();
// Whether the latest extraction stopped at its OutputLimit.
bool UnPackStoppedAtLimit();
// The system's error code of the first of them (for example a full disk);
// 0 when there was none or the first was a refused name.
uint32_t UnPackWriteError();

// Whether a record's file name stays inside the target folder: not empty,
// no root, drive, UNC prefix, stream colon or ".." component.
bool IsSafeEntryName(const std::string& name);

// The program the setup flow starts for a main entry: the text before its
// first "*", blanks trimmed (its folder is the target folder).
std::string MainEntryProgram(const std::string& mainEntry);
