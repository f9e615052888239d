/* The log's contract, written once: the tags, the name of every function
 * that speaks, every message's number, the banners and rules, the labels
 * of the fields that readers take out of a line, and the formats of the
 * messages whose fields are read back (the PC tools read the terminal's
 * logs with these same names). Everything a line says beyond that stays
 * beside the WriteLog call that writes it.
 *
 * Narrow texts are code page 949 wherever the file including this one is
 * compiled with -fexec-charset=CP949 (the core always is); a reader that
 * compares them with a log's bytes must be compiled so too. */
#ifndef HAILWATCH_LOGCATALOGUE_H
#define HAILWATCH_LOGCATALOGUE_H

/* ---- The hour's file and the line's stamp ------------------------------- */

/* \ResidentFlash\Log\hailwatch-YYYYMMDDHH.log, from the root, the folder
 * and the local year, month, day and hour. */
#define LOG_FILE_PREFIX "hailwatch-"
#define LOG_FILE_NAME "%s%s\\" LOG_FILE_PREFIX "%04d%02d%02d%02d.log"
/* Every line: the local minute and second, the mark, the message. */
#define LOG_STAMP_MARK " [K] "
#define LOG_LINE "%02d:%02d" LOG_STAMP_MARK "%s"

/* ---- Tags and the head of a message ------------------------------------ */

#define LOG_INFO "<I>"
#define LOG_ERROR "<E>"

/* Every message but the banners, the rules, the version and the ignition
 * line begins so: the tag, the function and the number. */
#define LOG_HEAD "%s %s[%d] "

/* ---- Banners, rules, the version, the ignition --------------------------- */

/* Above and below each banner: 63 '#'. */
#define LOG_BANNER_RULE "###############################################################\r\n"
#define LOG_START_BANNER "%s ###################### Hailwatch Start ######################\r\n"
#define LOG_END_BANNER "%s ####################### Hailwatch End #######################\r\n"
/* Above and below each ignition line: 64 '#'. */
#define LOG_IGNITION_RULE "################################################################\r\n"
#define LOG_IGNITION_WORD "WM_POWER_MODE_CHANGE"
#define LOG_IGNITION "%s " LOG_IGNITION_WORD " %s %d %d\r\n"
#define LOG_ACC_OFF "ACC OFF"
#define LOG_ACC_ON "ACC ON"
/* Tag only: "<I> V2.2.56". */
#define LOG_VERSION "%s V%d.%d.%d\r\n"

/* ---- Labels of the fields readers take out ------------------------------- */

#define LOG_RESULT_LABEL "결과"
#define LOG_SOURCE_LABEL "Src파일"
#define LOG_CLOSED_WINDOW_LABEL "종료 윈도우이름"
#define LOG_ERROR_LABEL "Error"
/* The folder test's answers. */
#define LOG_FOLDER_FILE "File"
#define LOG_FOLDER_NO_FILE "No File"

/* ---- Functions ----------------------------------------------------------- */

#define LOG_CHECK_APP "CheckApp"
#define LOG_RUN_NAVI_APP "RunNaviApp"
#define LOG_REQ_BUILD_OPTION "ReqBuildOption"

/* The update engine's operations all begin so. */
#define LOG_PATCH_LIST "CPatchList::"
#define LOG_SLEEP LOG_PATCH_LIST "SLEEP"
#define LOG_KILL LOG_PATCH_LIST "KILL"
#define LOG_RUN LOG_PATCH_LIST "RUN"
#define LOG_RM LOG_PATCH_LIST "RM"
#define LOG_RMDIR LOG_PATCH_LIST "RMDIR"
#define LOG_MKDIR LOG_PATCH_LIST "MKDIR"
#define LOG_CP LOG_PATCH_LIST "CP"
#define LOG_IS_FOLDER_FILES LOG_PATCH_LIST "IsFolderFiles"
#define LOG_DELETE_FOLDER LOG_PATCH_LIST "DeleteFolder"
#define LOG_COPY_FILES_FOLDER2FOLDER LOG_PATCH_LIST "CopyFilesFolder2Folder"
#define LOG_SEARCH_PATCH_LIST_FILES LOG_PATCH_LIST "SearchPatchListFiles"

#define LOG_VERIFY_PACKAGE "VerifyPackage"

#define LOG_READ_ROLLBACK_SETTINGS "ReadRollbackSettings"
#define LOG_KEEP_UNDO_COPY "KeepUndoCopy"
#define LOG_BEGIN_PROBATION "BeginProbation"
#define LOG_END_PROBATION "EndProbation"
#define LOG_END_PROBATION_FOR_NEW_PACKAGE "EndProbationForNewPackage"
#define LOG_SETTLE_UNDO_JOURNAL "SettleUndoJournal"
#define LOG_ROLL_BACK_UPDATE "RollBackUpdate"
#define LOG_RESUME_ROLL_BACK "ResumeRollBack"
#define LOG_CHECK_UNDO_COPY "CheckUndoCopy"
#define LOG_RESTORE_FILE "RestoreFile"
#define LOG_REMOVE_NEW_PATH "RemoveNewPath"
#define LOG_RESTORE_FOLDER "RestoreFolder"

/* ---- Numbers, by the function that writes them --------------------------- */

/* CheckApp: a watched application was missing and is started again. */
const int LOG_MODEM_RESTARTED = 409;
const int LOG_METER_RESTARTED = 417;
const int LOG_CALL_RESTARTED = 425;
const int LOG_DTG_RESTARTED = 434;

/* RunNaviApp: the navigation application closed at ignition off, started
 * again at ignition on. */
const int LOG_NAVI_CLOSED = 481;
const int LOG_NAVI_STARTED = 490;

/* ReqBuildOption: the call application did not take the build option. */
const int LOG_BUILD_OPTION_FAILED = 628;

/* CPatchList operations. */
const int LOG_SLEPT = 688;
const int LOG_WINDOW_CLOSED = 711;
const int LOG_SUPERVISOR_NOT_CLOSED = 713;
const int LOG_PROGRAM_RUN = 724;
const int LOG_RM_NO_FILE = 739;
const int LOG_RM_FOLDER = 746;
const int LOG_RM_DONE = 764;
const int LOG_RMDIR_DONE = 774;
const int LOG_MKDIR_EXISTS = 788;
const int LOG_MKDIR_DONE = 806;
const int LOG_CP_NO_SOURCE = 826;
const int LOG_CP_SAME_PATH = 834;
const int LOG_CP_DONE = 858;
/* IsFolderFiles: the start-up's folder test (said whatever it finds), and
 * the quiet test (said only when it finds a file). */
const int LOG_FOLDER_TESTED = 425;
const int LOG_FOLDER_HOLDS_FILES = 427;
const int LOG_FOLDER_DELETED = 487;
const int LOG_FOLDER_COPIED = 562;
const int LOG_NO_PATCH_LIST = 585;
const int LOG_LIST_RESUMED = 590;
const int LOG_LIST_RECORD_FAILED = 591;

/* VerifyPackage: a signed package refused before any change, and the note
 * of a package begun that could not be written. */
const int LOG_REFUSED_NO_MANIFEST = 941;
const int LOG_REFUSED_BAD_MANIFEST = 942;
const int LOG_REFUSED_BAD_SIGNATURE = 943;
const int LOG_REFUSED_UNLISTED = 944;
const int LOG_REFUSED_MISSING = 945;
const int LOG_REFUSED_SIZE = 946;
const int LOG_REFUSED_HASH = 947;
const int LOG_REFUSED_NO_KEY = 948;
const int LOG_REFUSED_UNREADABLE = 949;
const int LOG_VERIFIED_NOTE_FAILED = 950;
const int LOG_REFUSED_NAME = 951;
const int LOG_REFUSED_FOREIGN_COPY = 952;
const int LOG_REFUSED_NOT_NEWER = 953;

/* The rollback of an update. */
const int LOG_ROLLBACK_SETTINGS_UNREADABLE = 961;
const int LOG_UNDO_COPY_NOT_KEPT = 962;
const int LOG_PROBATION_BEGUN = 963;
const int LOG_PROBATION_PASSED = 964;
const int LOG_ROLLBACK_BEGUN = 965;
const int LOG_FILE_RESTORED = 966;
const int LOG_NEW_PATH_REMOVED = 967;
const int LOG_FOLDER_RESTORED = 968;
const int LOG_ROLLBACK_DONE = 969;
const int LOG_ROLLBACK_RESUMED = 970;
const int LOG_UNDO_COPY_MISMATCH = 971;
const int LOG_ROLLBACK_UNFINISHED = 972;
const int LOG_UNDO_COPY_RENEWED = 973;
const int LOG_PROBATION_ENDED_BY_PACKAGE = 974;
const int LOG_UNDO_COPY_DROPPED = 975;
const int LOG_ROLLBACK_RECORD_FAILED = 976;

/* ---- Formats whose fields are read back ---------------------------------- */

#define LOG_BUILD_OPTION_FAILED_FORMAT LOG_HEAD "빌드 옵션 응답에 실패하였습니다." LOG_ERROR_LABEL "[%d]\r\n"
#define LOG_WINDOW_CLOSED_FORMAT LOG_HEAD LOG_CLOSED_WINDOW_LABEL "[%s]\r\n"
#define LOG_PROGRAM_RUN_FORMAT LOG_HEAD LOG_RESULT_LABEL "[%d] EXE 파일이름[%s]\r\n"
#define LOG_RM_DONE_FORMAT LOG_HEAD LOG_RESULT_LABEL "[%d] DELETE 파일이름[%s]\r\n"
#define LOG_MKDIR_DONE_FORMAT LOG_HEAD LOG_RESULT_LABEL "[%d] 생성폴더이름[%s]\r\n"
#define LOG_CP_DONE_FORMAT \
    LOG_HEAD LOG_RESULT_LABEL "[%d] " LOG_SOURCE_LABEL "[%s] Dst파일[%s] DELETE 실행여부[%d]\r\n"
/* 425 and 427 alike; the answer is LOG_FOLDER_FILE or LOG_FOLDER_NO_FILE. */
#define LOG_FOLDER_TESTED_FORMAT LOG_HEAD "경로[%s] " LOG_RESULT_LABEL "[%s]\r\n"
/* The rollback: the application that was restarted too often and how many
 * times, the application it was done for, the one a resumed rollback began
 * for. */
#define LOG_ROLLBACK_BEGUN_FORMAT \
    LOG_HEAD "%s 응용프로그램이 업데이트 후 %d번 재시작되어 업데이트를 되돌립니다.\r\n"
#define LOG_ROLLBACK_DONE_FORMAT LOG_HEAD "%s 응용프로그램 때문에 업데이트를 되돌렸습니다. 항목[%d]\r\n"
#define LOG_ROLLBACK_RESUMED_FORMAT LOG_HEAD "%s 응용프로그램 때문에 시작한 되돌리기를 이어서 합니다.\r\n"
/* The restore of one path: the result, then the path under its label. */
#define LOG_RESTORED_FORMAT LOG_HEAD LOG_RESULT_LABEL "[%d] %s[%s]\r\n"

#endif
