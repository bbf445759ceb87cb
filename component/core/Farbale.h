#pragma once
// Farbale: the server-side zip-file manager's one component class. The web host creates one object
// per request, hands it the request's scripting context with OnStartPage and calls ShowPage, which
// writes the page that the request's OP asks for. Every page, list, check and operation is a
// private member; each is defined in the file of the subsystem folder it belongs to.

#include <cstdint>
#include <string>

#include "component/core/OperationReport.h"
#include "platform/asp/ScriptingContext.h"

// The zip library's entry record (platform/ziplib/lszip.h).
struct ZipEntryRecord;

namespace vantrel {

// What an operation answers the library (component/archive/OperationHooks.h).
struct OperationHooks;

template <typename Tag>
struct FarbaleTestAccess;

// The two kinds of operation slot: one zip and one unzip operation may run at a time.
enum class OperationKind { Zip, Unzip };

// Which list MatchPathList tests.
enum class PathListMode { Exclude, Include };

class Farbale {
  public:
    Farbale();

    // Keeps the request's context in the module's slot for the calling thread.
    void OnStartPage(asp::ScriptingContext& context);
    // Main entry point for component. Creates the various pages of the application, depending on
    // the attributes supplied in the request. False when the page reported a failure.
    bool ShowPage();

  private:
    // Unit tests reach private members through a specialisation of their own.
    template <typename Tag>
    friend struct FarbaleTestAccess;
    // The host's downloads and uploads judge paths and write pages as the operations do.
    friend class Transfers;
    friend class OperationSlot;

    // ---- core: creation, request, fragments, frameset, result and information pages
    void InitTempDirectory();
    std::string ProbeTempFolder();
    void ReadRequestFields();
    // True, with a refusal page written, when a request field holds a control character.
    bool RefuseControlCharacters();
    void BuildFragments();
    void Dispatch(bool& result);
    void WriteErrorDescription(const std::string& description);
    void WriteDebugEcho();
    void WriteFrameset();
    void WriteInfoPage();
    void WriteInfoContent();
    std::string GetZipLibraryVersion();
    std::string GetUnzipLibraryVersion();
    bool WriteResultPage(bool& zipFlag);
    // Hands what the operation just run did to the scripting context's operation record.
    void RecordOperation(asp::OperationRecord asked, bool succeeded);

    // ---- pages: source, target, control and contents pages, file-system lists
    void WriteSourcePage();
    int16_t FillSourceLists(const std::string& sourcePath, std::string& typeList,
                            std::string& driveList, std::string& folderList, std::string& fileList);
    void WriteTargetPage();
    int16_t FillTargetLists(const std::string& targetPath, std::string& driveList,
                            std::string& folderList);
    void SplitPath(const std::string& fullPath, std::string& drive, std::string& folder,
                   std::string& file);
    std::string BuildFileTypeList(const std::string& selectedPattern);
    std::string BuildDriveList(const std::string& currentDrive);
    // Leaves the note on matching files the list could not show in strWork6 (empty: none).
    int32_t BuildFolderFileLists(const std::string& driveLabel, const std::string& filePattern,
                                 const std::string& folderPath, std::string& folderList,
                                 std::string& fileList);
    void WriteZipControls();
    void WriteUnzipControls();
    void WriteUnzipOptionRows(bool blnWithUpdate);
    void WriteZipContents();
    // The window of the target frame's "Upload…" button (OP "upload").
    void WriteUploadWindow();
    // Pieces of markup that several pages write alike.
    void WritePageScript(std::string_view script);
    void WriteCallFormOpen(std::string_view callForm, std::string_view operation);
    void WriteHelpButton(std::string_view anchor);
    void WriteControlRow(std::string_view control);
    void WriteDriveSelect(std::string_view width, const std::string& driveList);
    void WriteFolderSelect(std::string_view width, const std::string& folderList);
    void WritePageEnd();

    // ---- policy: settings, path policy, operation queue
    // The setting's text, empty when not set; throws SettingUnreadable when the store holds it but
    // it cannot be read, which the operations report as a refusal.
    std::string ReadSetting(const std::string& name);
    bool CheckPathAccess(const std::string& path);
    // The same, with what it would write kept in said instead of the page.
    bool CheckPathAccess(const std::string& path, std::string& said);
    bool MatchPathList(const std::string& path, const std::string& list, PathListMode mode);
    bool WaitForOperationSlot(OperationKind kind);
    void ReleaseOperationSlot(OperationKind kind);
    bool LockFileIsLive(OperationKind kind);
    void CreateLockFile(OperationKind kind);

    // ---- archive: zip, unzip and test, listing
    bool ZipOperation(std::string archive, std::string files, std::string password,
                      std::string options);
    bool RunZipLibrary(std::string& archive, std::string& files, int32_t& action, int32_t& flags,
                       std::string& password, int32_t& level, std::string& message);
    bool UnzipOperation(std::string archive, std::string target, std::string names,
                        std::string password, std::string options);
    bool RunUnzipLibrary(std::string& archive, std::string& target, std::string& names,
                         int32_t& action, int32_t& flags, std::string& password,
                         std::string& message);
    // The listing writes the entries' lines into the page as it reads them; list receives the
    // lines not yet written, or the failure text.
    bool ListZipFile(std::string archive, std::string& list, std::string& summary);
    bool ReadZipEntries(const std::string& archive, std::string& list, std::string& totalSize,
                        std::string& totalCompressed, std::string& rate, int32_t& count);
    std::string EntryDetails(const std::string& name, const ZipEntryRecord& record,
                             double& totalSize, double& totalCompressed);
    // The same with the entry's true sizes, which the record's 32-bit fields may not hold.
    std::string EntryDetails(const std::string& name, const ZipEntryRecord& record, uint64_t size,
                             uint64_t compressedSize, double& totalSize, double& totalCompressed);
    std::string AttributeText(int32_t attributes);
    std::string MethodName(int16_t method);
    std::string OptionText(int16_t option);
    int32_t ShiftBits(int32_t value, int16_t count);
    // True, with the refusal written, when the setting switches the function off.
    bool RefuseWhenDisabled(const char* setting, std::string_view refusal);
    // The answers to the library's questions about real locations during one operation (the path
    // policy), and the page's lines naming the files it leaves out.
    OperationHooks LibraryHooks();
    // False, with the refusal written, when a delete of entries from archive would remove one
    // that the exclude list refuses.
    bool CheckDeletedEntryNames(const std::string& archive, const std::string& entries);

    // The current request's context (throws asp::AspError when there is none).
    asp::ScriptingContext& Context();
    void Write(std::string_view text);
    std::string ServerVariable(std::string_view name);

    // Kept for the object's life, fixed at creation.
    std::string TempDir;
    int32_t WaitForSeconds = 30;
    int32_t TimeOutSeconds = 300;

    // Rebuilt by every ShowPage.
    std::string strQuote;
    std::string strNewLine;
    std::string strOperation;
    std::string strSourcePath;
    std::string strSourceList;
    std::string strTargetPath;
    std::string strPassword;
    std::string strZipNameList;
    std::string strZipFileName;
    std::string strZipDisabled;
    std::string strOptions;
    std::string strWork5;
    std::string strWork6;
    std::string strEnablePasswordScript;
    std::string strPageHead;
    std::string strMetaTags;
    std::string strFontOpen;
    std::string strBodyOpen;
    std::string strPageClose;
    std::string strCallForm;
    std::string strCallFormToResult;
    std::string strHiddenOpOpen;
    std::string strControlsClose;
    std::string strScriptOpen;
    std::string strCellOpen;
    std::string strRowBreak;
    std::string strHelpButton;
    std::string strCheckboxOpen;
    std::string strCallFieldsAndButtons;
    std::string strPasswordBox;
    std::string strStartButton;
    std::string strSpanSmall;
    bool blnDebugMode = false;

    // The lock file this object created for each kind and what it wrote into it, so that
    // releasing frees only its own.
    struct HeldLock {
        std::string name;
        std::string record;
    };
    HeldLock heldZipLock_;
    HeldLock heldUnzipLock_;

    // What the operation under way reports to the host.
    OperationReport report_;
    // When set, what the object writes goes here instead of the page.
    std::string* divertedText_ = nullptr;
};

}  // namespace vantrel
