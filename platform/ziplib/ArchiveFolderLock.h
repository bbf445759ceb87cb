#pragma once
// Changes to archives in one folder happen one at a time. Each change reads the archive, writes
// a new one beside it and renames it into place; two changes of one archive at once would each
// start from the old archive, and the later rename would drop the other's entries. The lock is
// held on the folder itself, so no lock file is left beside the archives.

namespace vantrel::ziplib {

class ArchiveFolderLock {
  public:
    // Waits until no other change (of this or another process) holds the folder open at fd.
    explicit ArchiveFolderLock(int folder);
    ~ArchiveFolderLock();
    ArchiveFolderLock(const ArchiveFolderLock&) = delete;
    ArchiveFolderLock& operator=(const ArchiveFolderLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace vantrel::ziplib
