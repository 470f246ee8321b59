#pragma once

#include <QFile>
#include <QString>

#include <memory>

// Files for unpacked data that have no name while they are written, so that
// a process that is killed leaves nothing behind and nobody sees a file
// half-written:
//  - scratch data (the window's copy of the last unpacked data, kept until
//    it is saved) lives in an unnamed file in the temporary folder;
//  - a saved file is written once, unnamed in its destination's folder, and
//    gets its name only when it is complete (Commit).
//
// Unnamed files are O_TMPFILE files on Linux and delete-on-close files on
// Windows. Where the system offers none (other systems, file systems without
// O_TMPFILE) the data has a name after all: scratch data in a private,
// owner-only folder "packprobe-<process id>-XXXXXX" in the temporary folder,
// a saved file as ".<name>.XXXXXX.part" beside its destination. Those names
// are removed when the object goes, by SIGINT, SIGTERM and SIGHUP
// (Leftovers.h), and scratch folders of processes that are gone at the next
// start (RemoveStaleScratchFolders).
//
// Usage:
//   auto scratch = TPendingFile::CreateScratch();          // throws EExtFileStreamError
//   write to scratch->Device(); read it back after Device().seek(0)
//
//   auto out = TPendingFile::CreateBeside("/home/me/data.txt");
//   write to out->Device(), then out->Commit();           // the file appears whole
//   (without Commit the data is discarded when out goes)
//
// A destination that exists but is no regular file (a device such as
// /dev/stdout, a FIFO) is written in place; Commit then does nothing. A file
// that is replaced keeps its permissions; a new one gets the usual ones
// (the umask applies), scratch data is the owner's alone.

namespace packprobe {

class TPendingFile
{
public:
    // How the data is kept: unnamed where the system offers it (the normal
    // case), or under a name in any case (to test the fallback).
    enum class TNaming { UnnamedWhereOffered, Named };

    // Scratch data in the temporary folder. Throws EExtFileStreamError with
    // the system's error number when it cannot be created.
    static std::unique_ptr<TPendingFile> CreateScratch(TNaming naming = TNaming::UnnamedWhereOffered);
    // Data for the file destination, in its folder. Throws like CreateScratch.
    static std::unique_ptr<TPendingFile> CreateBeside(const QString &destination,
                                                      TNaming naming = TNaming::UnnamedWhereOffered);

    ~TPendingFile();
    TPendingFile(const TPendingFile &) = delete;
    TPendingFile &operator=(const TPendingFile &) = delete;

    // Read and write access (unbuffered).
    QFile &Device() { return FFile; }
    // The folder that holds the data (for messages and the free-space check).
    QString Folder() const { return FFolder; }
    // The data's name while it has one (fallback only); empty when unnamed.
    QString TemporaryName() const { return FName; }
    // Gives the data the destination's name, replacing a file of that name.
    // Only for CreateBeside. Throws EExtFileStreamError on failure (the data
    // is then discarded).
    void Commit();

private:
    TPendingFile() = default;
    // An unnamed file in FFolder; false where the system offers none here,
    // throws when it cannot be made.
    bool OpenUnnamed(const QString &nameForErrors, bool forLink);
    void Discard();

    QFile FFile;
    QString FFolder;
    QString FDestination; // CreateBeside only
    QString FName;        // named fallback only
    QString FPrivateFolder; // named scratch fallback only
    bool FCommitted = false;
};

// Removes the scratch folders that earlier runs of this user left behind
// (named fallback only) whose process is gone.
void RemoveStaleScratchFolders();

} // namespace packprobe
