/* The zip library: two shared libraries, liblspzipx.so (creates and changes archives) and
 * liblspuzipx.so (lists, tests and extracts them), driven through a few setter calls and one
 * execute call per operation.
 *
 * Conventions
 *   - All whole numbers are 32-bit signed. Text arguments are NUL-terminated UTF-8 that the
 *     library copies; it never writes into them.
 *   - Paths are Windows paths ("c:\data\backup.zip"), translated through the drive map that the
 *     process carries in VANTREL_DRIVES. A path outside every mapped drive, or one that would
 *     leave its drive's folder, is refused by the execute call with a status code.
 *   - Settings live per thread: concurrent calls on different threads never share them. They stay
 *     in force from one execute call to the next, except the password, which serves exactly one
 *     execute call (so a later run on the same thread never decrypts with someone else's key).
 *   - Every file is opened, and every callback called, on the thread of the execute call, under
 *     that thread's file rights. Zipping, extraction and test also use worker threads of their
 *     own, one per core, which only deflate or inflate data read from files the calling thread
 *     opened; they never reach a file by name and never call the caller.
 *   - Setters return nonzero when they accept the value (any non-NULL text), 0 for NULL.
 *   - Execute calls return a status code: 0 when the whole operation succeeded, a negative code
 *     otherwise (see "Status codes" below). The listing returns the entry count instead.
 *
 * Zip side (LSZIP_EXECUTE)
 *   Actions: 1 delete the listed entries, 2 add the listed files (replacing entries of the same
 *   name), 3 update (add new files, replace entries older than their file), 4 freshen (replace
 *   entries older than their file, add nothing), 5 repair the archive.
 *   Level: 0 stores, 1 to 9 deflate (1 fastest, 9 smallest).
 *   Flags (bits are added up; 0x1001 is always set by the caller and means nothing more):
 *     0x2080   store full paths: the entry name is the file's path below its drive, with "/"
 *              separators and no drive ("c:\data\x\a.txt" -> "data/x/a.txt"). Without it the
 *              name is the path below the listed folder: the bare file name for its own files,
 *              "sub/a.txt" for files found by recursion.
 *     0x800    recurse into subfolders with the same pattern; with the pattern "*.*" the
 *              subfolders themselves are stored as folder entries too.
 *     0x100    move: each source file written into the archive is deleted, only after the new
 *              archive is completely written and in place, and its entry has been read back
 *              whole with a matching checksum; a file changed since it was zipped stays. A call
 *              that left any file out (unreadable, refused, unnameable) deletes none.
 *     0x10     encrypt new and replaced entries with the password (AES-256). Reading also
 *              understands traditional zip encryption.
 *     0x20000  the harder repair (see below).
 *   File list (LSZIP_INCLUDE, actions 2 to 4): full Windows paths joined by "|", or one folder
 *   followed by a wildcard pattern ("c:\data\*.txt"; Windows rules: case ignored, "*.*" matches
 *   every name). An item naming a folder stands for "folder\*.*". A named item that is a symbolic
 *   link inside its drive is followed; inside a folder, links are skipped. The archive never adds
 *   itself. Two different files that would get exactly the same entry name refuse the whole list
 *   with -162 (names differing in letter case alone are two entries); a named file that does not
 *   exist refuses it with -1; a list that finds no file gives -167. An update or freshen replaces
 *   the entry of exactly the file's entry name, else the one entry differing from it in letter
 *   case alone that no file of the list names exactly. Update and freshen with nothing newer
 *   change nothing and return 0.
 *   Entry-name list (LSZIP_INCLUDE for action 1, LSUZ_INCLUDE): names separated by blanks, a
 *   name holding blanks in double quotes, wildcards allowed and running across folder
 *   separators; "*.*" is every entry, "dir\*.*" everything below dir and dir's own folder entry.
 *   "\" and "/" are the same separator (dir, a slash, "*.*" works alike). A name that an entry
 *   carries exactly (wildcard characters included) matches only that entry; a name without
 *   wildcards that none carries matches the one entry differing from it in letter case alone, or
 *   none when there are several; wildcards ignore case.
 *   An unclosed quote gives -163; a delete that matches nothing gives -168. An archive left
 *   without entries is removed.
 *   An archive is read as the unzip side reads it (see there) where that side's checks pass it,
 *   else as libzip reads it. Data in front of it (a self-extracting stub) stays in front through
 *   every change, and the new archive's offsets count it, as a self-extractor's do; when no entry
 *   is left, the stub stays with an empty archive behind it.
 *   Every change is written to a temporary file beside the archive (".lsz-<pid>-<n>.tmp") that
 *   replaces it with one rename only when complete: a failure or an abort leaves the original as
 *   it was. Such files whose writing process has died are removed by the next change in their
 *   folder. (The folder of LSZIP_SETTEMPATH is accepted but not needed for that: a temporary file
 *   elsewhere could not replace the archive in one step.)
 *   Repair: an archive that the test passes is left alone (0), data in front of it included;
 *   entries the test cannot check (encrypted ones, as a repair has no password, and those of an
 *   unsupported method) and names extraction refuses count as whole. Otherwise the first attempt
 *   follows the local headers from the start of the file and rebuilds the central directory from
 *   them; it fails when an entry on the way does not check out. The harder repair (0x20000) scans
 *   the whole file for local headers and keeps every entry whose data checks out (stored,
 *   deflated, LZMA, XZ and Zstandard entries are decoded as extraction decodes them and their CRC
 *   compared; encrypted and bzip2 ones are kept when their structure is whole). The damaged
 *   original is kept beside the archive as "<archive>.damaged" (numbered when taken) unless the
 *   new archive holds every entry the old one's end record counted and nothing lay in front of
 *   its first entry. Every entry the damaged archive names (in its central directory, or else in
 *   its local headers) that the new one lacks is reported to the function of LSZIP_SETMSG as
 *   damaged (-3); the repair still returns 0. LSZIP_GETREPAIR tells what it did.
 *   An archive that another process shortens while a repair reads it fails that repair (-51).
 *   Archives and entries beyond 4 GB or 65,535 entries are written in zip64 form; names are
 *   written in UTF-8 with general-purpose bit 11 where they are not plain ASCII; every entry
 *   carries an extended timestamp (extra field 0x5455) of its file's modification time.
 *
 * Unzip side (LSUZ_EXECUTE)
 *   Actions: 1 list (returns the number of entries, then LSUZ_GETNEXT delivers them in order),
 *   3 extract the listed entries into the folder of LSUZ_EXTRACTTO (created when missing),
 *   4 test: decompress every listed entry and check its CRC; an entry extraction would refuse
 *   fails the test too.
 *   Archives are read as the common zip programs read them: data in front of an archive (a
 *   self-extracting stub) is skipped, also when the archive's offsets do not count it; an end
 *   record's entry count is taken modulo 65,536 when the central directory holds more; a zip64
 *   locator counts only where it leads to a zip64 end record; a size of 0xFFFFFFFF without a zip64
 *   field is that size. Entries may be stored or compressed with deflate, bzip2, LZMA, Zstandard
 *   or XZ (methods 0, 8, 12, 14, 93, 95); an entry of another method is unsupported (-16) and
 *   left out. Creating always deflates (or stores).
 *   Archives whose entries share their bytes (overlap bombs) or reach into the central directory
 *   are refused by all three actions (-51) before any entry is read. An entry that inflates past
 *   the size its directory entry declares, or ends short of it, is damaged (-3): extraction
 *   removes what it wrote of it. Extraction stops (-50) before the free space of the target's
 *   file system would fall below a reserve: 1 GiB or 5% of its size, whichever is smaller, or
 *   what VANTREL_MIN_FREE_SPACE says ("512M", "2G", "1%", "0" for none).
 *   Flags: 3 extract, 1 test, +8 freshen (only entries whose file exists and is older),
 *   +4 update (new entries, and those whose file is older), +0x30 do not re-create the stored
 *   folders (files go straight into the target folder under their bare names).
 *   Extraction restores modification times, writes every file unnamed (or, where the file
 *   system cannot, under a temporary name) and names it only when complete, so that no failure,
 *   abort or crash leaves part of a file under its name: a new file takes its name only where
 *   nothing is, a replacing file takes the place of the old one in one rename, keeping the old
 *   one's permissions and owner (another account's file it cannot give back is not replaced,
 *   -169). New files and folders get their stored Unix permission bits (never setuid, setgid or
 *   sticky) masked by the umask. Extraction never writes outside the target folder: names that are
 *   absolute, begin with a drive ("c:"), contain ".." segments, are stored symbolic links, or would
 *   pass through a symbolic link are refused (-152) with nothing written for them; the other
 * entries are still extracted. A wrong or missing password gives -61 for the entry and nothing is
 * written for it. A test without a password can only check the structure of encrypted entries and
 * then reports -61 when it found nothing worse. A listed name that matches no entry gives -1 (the
 * others are still processed); an archive without entries gives -164. A name holding a NUL byte,
 * which no file name can, is refused (-152) like those above. AES data that does not check out with
 * the right password is damaged (-15 or -3), not a wrong password: AES checks the password on its
 * own. Times: an entry's extended timestamp (extra field 0x5455) or NTFS times (0x000a), which name
 *   a moment in UTC, win over its MS-DOS words, which name a wall-clock time in an unknown zone;
 *   extraction and the listing's record (in DOS words of the server's local time) use them.
 *
 * Real locations and the caller's policy
 *   Every path is resolved one segment at a time beneath a handle on its drive's folder; symbolic
 *   links are followed only while they stay inside the drive. The check set by LSZIP_SETPATHCHECK
 *   / LSUZ_SETPATHCHECK is asked with the real location (the Windows path of where a name really
 *   leads) of every archive, source file and folder, extraction target, and every file and folder
 *   extraction creates, before it is touched; what was opened for the question is then used, never
 *   the name again. A refused archive or target stops the call with -152 before anything is
 *   written; a refused source file or entry is left out, the rest goes on, and the call returns
 *   -152. No operation writes over an archive it reads or writes.
 *
 * One entry on its own (LSUZ_OPENENTRY, LSUZ_READENTRY, LSUZ_CLOSEENTRY)
 *   Reads one entry of the one archive named by LSUZ_ZIPNAME for a caller that streams it
 *   elsewhere (a download). The entry is found by its exact name ("\" read as "/"), else as the one
 *   entry whose name differs from it in letter case alone; a folder entry is no match (-1), a name
 *   holding a NUL byte is refused (-152). Opening checks what can be known before the data is
 *   read: the archive's structure (-51), the entry's method (-16), its password (the one set by
 *   LSUZ_PASSWORD, which serves this open only; -61 when it is missing, or wrong where the
 *   encryption tells before the data). The archive's real location is asked of the check of
 *   LSUZ_SETPATHCHECK. Reading then hands the data on as extraction reads it, never a byte past
 *   the declared size, and the last byte only once the whole entry has checked out (size and
 *   CRC): a damaged entry (-3, -15, or -61 for data a wrong traditional password garbled) never
 *   reaches the sink whole.
 *
 * Files and entries left out
 *   The function set by LSZIP_SETMSG / LSUZ_SETMSG hears of every file or entry a call leaves out
 *   (other than those its check refused) with the status code that says why: a source file or
 *   folder that cannot be read (-9) or named in a zip entry (-152), an entry that may not be
 *   extracted (-152), is damaged (-3) or would overwrite the archive (-152), a file extraction
 *   cannot create (-169). It also hears of the file a failed call could not read or write
 *   because the file system refused it (the archive, the new archive beside it, the target
 *   folder). When the file system refused (EACCES, EPERM, EROFS), errno holds that reason while
 *   the function runs, and the name is the real Windows path of the file; otherwise errno is 0.
 *   A call that left anything out never returns 0 (a repair excepted, see above).
 *
 * Progress
 *   The callback set by LSZIP_SETCALLBACK / LSUZ_SETCALLBACK is called once when an execute call
 *   starts its work and then at most about once a second, also in the middle of a long file. Its
 *   arguments are (done, total, percent, 0, 0), done and total in entries or other units of the
 *   current step; callers may ignore them. A nonzero return stops the operation cleanly: nothing
 *   is changed, and the execute call returns -30.
 *
 * Status codes
 *     0 success               -1 name not matched        -2 not a zip archive
 *    -3 damaged entry data    -4 out of memory           -9 cannot open a file
 *   -11 wrong call or argument -15 CRC error             -16 unsupported compression method
 *   -30 aborted by the callback -50 disk full            -51 archive structure error
 *   -61 wrong or missing password
 *  -151 archive path outside every drive                 -152 path or entry name refused
 *  -157 multi-volume archive -162 repeated entry name    -163 list cannot be read
 *  -164 archive has no entries (or no more to list)      -167 nothing to add
 *  -168 nothing to delete    -169 cannot create a file or folder
 *  -175 temporary file error -178 writing the archive failed
 *  -179 a moved file could not be confirmed or deleted and stays (the archive is complete)
 *  -189 the new archive cannot take the old one's place
 */
#ifndef VANTREL_LSZIP_H
#define VANTREL_LSZIP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LSZIP_API __attribute__((visibility("default")))

/* The interface's numbers by name; the values are the interface and never change. */

/* Actions of LSZIP_EXECUTE. */
enum LsZipAction {
    LSZIP_DELETE = 1,
    LSZIP_ADD = 2,
    LSZIP_UPDATE = 3,
    LSZIP_FRESHEN = 4,
    LSZIP_REPAIR = 5
};

/* Flags of LSZIP_EXECUTE, added up. */
enum LsZipFlag {
    LSZIP_FLAG_BASE = 0x1001, /* always set by the caller; means nothing more */
    LSZIP_FLAG_ENCRYPT = 0x10,
    LSZIP_FLAG_MOVE = 0x100,
    LSZIP_FLAG_RECURSE = 0x800,
    LSZIP_FLAG_FULL_PATHS = 0x2080,
    LSZIP_FLAG_HARDER_REPAIR = 0x20000
};

/* Actions of LSUZ_EXECUTE. */
enum LsUnzipAction { LSUZ_LIST = 1, LSUZ_EXTRACT = 3, LSUZ_TEST = 4 };

/* Flags of LSUZ_EXECUTE: LSUZ_FLAG_LIST, or LSUZ_FLAG_EXTRACT or LSUZ_FLAG_TEST plus the others. */
enum LsUnzipFlag {
    LSUZ_FLAG_LIST = 1,
    LSUZ_FLAG_TEST = 1,
    LSUZ_FLAG_EXTRACT = 3,
    LSUZ_FLAG_UPDATE = 4,
    LSUZ_FLAG_FRESHEN = 8,
    LSUZ_FLAG_NO_FOLDERS = 0x30
};

/* Status codes of both sides (see "Status codes" above). */
enum LsZipStatus {
    LSZIP_OK = 0,
    LSZIP_E_NOT_MATCHED = -1,
    LSZIP_E_FORMAT = -2,
    LSZIP_E_DAMAGED = -3,
    LSZIP_E_MEMORY = -4,
    LSZIP_E_OPEN = -9,
    LSZIP_E_ARGUMENT = -11,
    LSZIP_E_CRC = -15,
    LSZIP_E_METHOD = -16,
    LSZIP_E_ABORTED = -30,
    LSZIP_E_DISK_FULL = -50,
    LSZIP_E_STRUCTURE = -51,
    LSZIP_E_PASSWORD = -61,
    LSZIP_E_ARCHIVE_PATH = -151,
    LSZIP_E_REFUSED = -152,
    LSZIP_E_MULTI_VOLUME = -157,
    LSZIP_E_REPEATED_NAME = -162,
    LSZIP_E_LIST = -163,
    LSZIP_E_EMPTY = -164,
    LSZIP_E_NOTHING_TO_ADD = -167,
    LSZIP_E_NOTHING_TO_DELETE = -168,
    LSZIP_E_CREATE = -169,
    LSZIP_E_TEMP_FILE = -175,
    LSZIP_E_WRITE = -178,
    LSZIP_E_MOVE = -179,
    LSZIP_E_REPLACE = -189
};

/* Called during long work with five values the caller may ignore; a nonzero result stops the
 * operation ("Operation aborted.", -30). */
typedef int32_t (*ZipProgressFn)(int32_t, int32_t, int32_t, int32_t, int32_t);

/* Asked with a real location ("c:\data\real\a.txt"; a folder ends in "\"); nonzero allows it. */
typedef int32_t (*ZipPathCheckFn)(const char* realPath);

/* Takes the next piece of an entry being read; a nonzero result stops the reading (-30). */
typedef int32_t (*ZipSinkFn)(void* context, const char* data, int32_t size);

/* Hears of one file or entry left out: why (a status code) and its name (the real Windows path of
 * a file on the server, or the entry's name in the archive). The result is ignored. */
typedef int32_t (*ZipMessageFn)(int32_t code, const char* name);

/* The 425-byte entry record that LSUZ_GETNEXT fills: packed, numbers little-endian. Names and
 * comments are UTF-8, cut at a character boundary to fit (a NUL byte of a stored name reads
 * U+FFFD); sizes above 4 GB read 0xFFFFFFFF (LSUZ_GETNEXTEX gives the full values). */
#pragma pack(push, 1)
typedef struct ZipEntryRecord {
    char name[255]; /* entry name, NUL-terminated; a folder ends in a separator */
    uint16_t reserved1;
    uint16_t dosDate; /* last modification, MS-DOS date */
    uint16_t dosTime; /* last modification, MS-DOS time */
    uint32_t size;    /* uncompressed size */
    uint16_t ratio;   /* compression ratio, whole percent (0 when nothing was saved) */
    uint32_t compressedSize;
    uint16_t method; /* zip compression method number (the real one under encryption) */
    uint32_t reserved2;
    uint16_t attributes; /* MS-DOS attributes in the low byte */
    uint16_t reserved3;
    uint16_t flags;    /* general-purpose flags */
    char comment[128]; /* entry comment, NUL-terminated */
    char reserved4[14];
} ZipEntryRecord;
#pragma pack(pop)

/* ---- zip side: liblspzipx.so ---- */

/* The library's version as a whole number: 110 for 1.10. */
LSZIP_API int32_t LSZIP_VER(void);
/* Forgets every setting of the calling thread's zip side. Returns 1. */
LSZIP_API int32_t LSZIP_INIT(void);
/* The comment the next execute calls give the archive (replacing its old one); at most 65,535
 * bytes, else refused. */
LSZIP_API int32_t LSZIP_SETARCHIVECMT(char* comment);
/* The comment of every entry the next execute calls add or replace; at most 65,535 bytes. */
LSZIP_API int32_t LSZIP_SETFILECMT(char* comment);
/* Limits add, update and freshen to files modified after a local time, given as MS-DOS date and
 * time words (date in the high 16 bits, time in the low 16 bits, as in the entry record); 0 lifts
 * the limit. Refused (0) for a date that cannot be a time. */
LSZIP_API int32_t LSZIP_SETDATE(int32_t dosDateTime);
/* Nonzero: the next execute call deletes its archive once it has succeeded (that call only). */
LSZIP_API int32_t LSZIP_REMOVEARCHIVE(int32_t remove);
/* Folder for temporary files (accepted; see "Every change is written ..." above). */
LSZIP_API int32_t LSZIP_SETTEMPATH(char* folder);
/* The file list (add, update, freshen) or entry-name list (delete) of the next execute. */
LSZIP_API int32_t LSZIP_INCLUDE(char* list);
/* The password for the next execute's encryption (flag 0x10); cleared by that execute. */
LSZIP_API int32_t LSZIP_PASSWORD(char* password);
/* The progress callback; NULL removes it. */
LSZIP_API int32_t LSZIP_SETCALLBACK(ZipProgressFn callback);
/* The check of real locations for the next execute calls; NULL allows every place on a drive. */
LSZIP_API int32_t LSZIP_SETPATHCHECK(ZipPathCheckFn check);
/* The function that hears of files left out by the next execute calls; NULL: nobody hears. */
LSZIP_API int32_t LSZIP_SETMSG(ZipMessageFn report);
/* Runs action (1 delete, 2 add, 3 update, 4 freshen, 5 repair) on the archive with the level
 * (0 to 9) and flags above; returns a status code. */
LSZIP_API int32_t LSZIP_EXECUTE(char* archive, int32_t action, int32_t level, int32_t flags);

/* The bytes the last execute call on this thread read (source files, or the archive's entries)
 * and wrote (the new archive, or extracted files). Returns 1. */
LSZIP_API int32_t LSZIP_GETBYTES(int64_t* read, int64_t* written);

/* What the last execute call on this thread repaired: the entries of the archive it wrote (-1
 * when it wrote none: the archive was sound, or the repair failed), the entries the damaged
 * archive held as far as it tells (0 when it does not), and the real Windows path under which
 * the damaged original was kept (empty when it was not), NUL-terminated and cut at a character
 * boundary to size - 1 bytes. Each pointer may be NULL. Returns 1. */
LSZIP_API int32_t LSZIP_GETREPAIR(int32_t* recovered, int32_t* counted, char* keptAs, int32_t size);

/* ---- unzip side: liblspuzipx.so ---- */

/* The library's version as a whole number: 110 for 1.10. */
LSZIP_API int32_t LSUZ_VER(void);
/* Forgets every setting and closes any listing. */
LSZIP_API int32_t LSUZ_RESET(void);
/* The same as LSUZ_RESET. */
LSZIP_API int32_t LSUZ_INIT(void);
/* The comment of the one archive named by LSUZ_ZIPNAME, NUL-terminated in comment (cut at a
 * character boundary to size - 1 bytes); returns the comment's whole length in bytes (0 for none),
 * or a status code. */
LSZIP_API int32_t LSUZ_GETCMT(char* comment, int32_t size);
/* The archive of the next execute. Extraction and test also take several archives: joined by
 * "|", where names after the first without a folder lie in the first one's folder
 * ("c:\data\a.zip|b.zip"), or a wildcard in the last segment ("c:\data\*.zip"); each is worked on
 * in turn and the first failure is the result (-1 when a wildcard matches nothing). A listing
 * takes exactly one archive. */
LSZIP_API int32_t LSUZ_ZIPNAME(char* archive);
/* The entry-name list of the next extract or test; empty means every entry. */
LSZIP_API int32_t LSUZ_INCLUDE(char* names);
/* The folder extraction writes into. */
LSZIP_API int32_t LSUZ_EXTRACTTO(char* folder);
/* The password for the next execute; cleared by that execute. */
LSZIP_API int32_t LSUZ_PASSWORD(char* password);
/* The progress callback; NULL removes it. */
LSZIP_API int32_t LSUZ_SETCALLBACK(ZipProgressFn callback);
/* As LSZIP_SETPATHCHECK and LSZIP_SETMSG, for the unzip side. */
LSZIP_API int32_t LSUZ_SETPATHCHECK(ZipPathCheckFn check);
LSZIP_API int32_t LSUZ_SETMSG(ZipMessageFn report);
/* Runs action 1 (list: returns the entry count or a status code), 3 (extract) or 4 (test) with
 * the flags above; returns a status code. */
LSZIP_API int32_t LSUZ_EXECUTE(int32_t action, int32_t flags);
/* As LSZIP_GETBYTES, for the unzip side's last extract or test. */
LSZIP_API int32_t LSUZ_GETBYTES(int64_t* read, int64_t* written);
/* Fills record (a ZipEntryRecord) with the next entry of the listing; 0, or a status code
 * (-164 when every entry has been delivered, -11 without a listing). */
LSZIP_API int32_t LSUZ_GETNEXT(void* record);
/* As LSUZ_GETNEXT, and also gives what the record cannot hold: the full name (UTF-8, cut at a
 * character boundary to fullNameSize - 1 bytes; 65536 bytes always suffice) and the 64-bit
 * uncompressed and compressed sizes. fullName, size and compressedSize may be NULL. */
LSZIP_API int32_t LSUZ_GETNEXTEX(void* record, char* fullName, int32_t fullNameSize, int64_t* size,
                                 int64_t* compressedSize);
/* Opens the entry name of the archive of LSUZ_ZIPNAME (see "One entry on its own"): on success
 * *entry is its handle and *size its uncompressed size. Returns a status code. */
LSZIP_API int32_t LSUZ_OPENENTRY(char* name, void** entry, int64_t* size);
/* Hands the data of an opened entry to sink(context, data, size) in pieces of at most 1 MiB;
 * once per handle. Returns a status code. */
LSZIP_API int32_t LSUZ_READENTRY(void* entry, ZipSinkFn sink, void* context);
/* Closes an entry's handle (NULL is allowed). Returns 1. */
LSZIP_API int32_t LSUZ_CLOSEENTRY(void* entry);

#ifdef __cplusplus
}
static_assert(sizeof(ZipEntryRecord) == 425, "the entry record is 425 bytes");
#endif

#endif
