/* The subset of the Windows CE core library that Hailwatch uses, declared for
 * a POSIX host under the Win32 names and signatures (the W forms).
 *
 * Implemented in platform/host/, one file per service area. Must stay valid
 * C++03 (-pedantic): the core is compiled against it with the device's
 * language level.
 *
 * Differences from Windows that callers may see:
 *  - WCHAR is the host's wchar_t (32 bits); each unit holds one UTF-16 code
 *    unit, so strings hold exactly the units Windows would.
 *  - DWORD and LONG are 32 bits, as on Windows.
 *  - fopen is redirected to a version that maps device paths, and the stdio
 *    calls the core makes on its streams to the backend's own (see below). */
#ifndef HAILWATCH_HOST_WIN32_API_H
#define HAILWATCH_HOST_WIN32_API_H

#include <stddef.h>
#include <stdio.h>
#include <stdarg.h>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CONST const
#define VOID void

#ifndef NULL
#define NULL 0
#endif
#define TRUE 1
#define FALSE 0

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD;
typedef int LONG;
typedef int INT;
typedef unsigned int UINT;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef WCHAR TCHAR;
typedef unsigned short ATOM;
typedef size_t UINT_PTR;
typedef size_t ULONG_PTR;
typedef size_t DWORD_PTR;
typedef ptrdiff_t LONG_PTR;
typedef DWORD_PTR* PDWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* PVOID;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;

typedef void* HANDLE;
struct HWND__;
typedef struct HWND__* HWND;
struct HINSTANCE__;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HICON__;
typedef struct HICON__* HICON;
typedef HICON HCURSOR;
struct HBRUSH__;
typedef struct HBRUSH__* HBRUSH;
struct HMENU__;
typedef struct HMENU__* HMENU;
struct HACCEL__;
typedef struct HACCEL__* HACCEL;
typedef void* HGDIOBJ;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define MAX_PATH 260

#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define LOWORD(l) ((WORD)((DWORD_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((DWORD_PTR)(l) >> 16) & 0xffff))

/* Last-error values the system and its tests look at. */
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NO_MORE_FILES 18
#define ERROR_NOT_READY 21
#define ERROR_WRITE_FAULT 29
#define ERROR_SHARING_VIOLATION 32
#define ERROR_BAD_DEV_TYPE 66
#define ERROR_FILE_EXISTS 80
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_NAME 123
#define ERROR_DIR_NOT_EMPTY 145
#define ERROR_ALREADY_EXISTS 183
#define ERROR_DIRECTORY 267
#define ERROR_NO_UNICODE_TRANSLATION 1113
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_TIMEOUT 1460

/* CryptoAPI's own errors (HRESULTs kept in the last error). */
#define NTE_BAD_UID ((DWORD)0x80090001L)
#define NTE_BAD_HASH ((DWORD)0x80090002L)
#define NTE_BAD_KEY ((DWORD)0x80090003L)
#define NTE_BAD_DATA ((DWORD)0x80090005L)
#define NTE_BAD_SIGNATURE ((DWORD)0x80090006L)
#define NTE_BAD_VER ((DWORD)0x80090007L)
#define NTE_BAD_ALGID ((DWORD)0x80090008L)
#define NTE_BAD_FLAGS ((DWORD)0x80090009L)
#define NTE_BAD_TYPE ((DWORD)0x8009000AL)
#define NTE_BAD_HASH_STATE ((DWORD)0x8009000CL)
#define NTE_BAD_PROV_TYPE ((DWORD)0x80090014L)
#define NTE_PROV_TYPE_NOT_DEF ((DWORD)0x80090017L)

/* File attributes. */
#define FILE_ATTRIBUTE_READONLY 0x01
#define FILE_ATTRIBUTE_HIDDEN 0x02
#define FILE_ATTRIBUTE_SYSTEM 0x04
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20
#define FILE_ATTRIBUTE_NORMAL 0x80

/* Window messages. */
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_COPYDATA 0x004A
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_TIMER 0x0113
#define WM_USER 0x0400

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define WS_DISABLED 0x08000000L
#define WS_VISIBLE 0x10000000L
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define SMTO_NORMAL 0x0000
#define SMTO_BLOCK 0x0001
#define SMTO_ABORTIFHUNG 0x0002

#define CP_ACP 0
#define CP_UTF8 65001

/* CryptoAPI: the provider type, flag, algorithms and key blob the update's
 * signature check uses. */
#define PROV_RSA_AES 24
#define CRYPT_VERIFYCONTEXT 0xF0000000
#define CALG_SHA_256 0x0000800c
#define CALG_RSA_SIGN 0x00002400
#define CALG_RSA_KEYX 0x0000a400
#define PUBLICKEYBLOB 0x6
#define CUR_BLOB_VERSION 2

typedef unsigned int ALG_ID;
typedef ULONG_PTR HCRYPTPROV;
typedef ULONG_PTR HCRYPTKEY;
typedef ULONG_PTR HCRYPTHASH;

/* A key blob begins with this header; a PUBLICKEYBLOB goes on with RSAPUBKEY
 * and the modulus, least significant byte first. */
typedef struct _PUBLICKEYSTRUC {
    BYTE bType;
    BYTE bVersion;
    WORD reserved;
    ALG_ID aiKeyAlg;
} BLOBHEADER, PUBLICKEYSTRUC;

typedef struct _RSAPUBKEY {
    DWORD magic; /* "RSA1" */
    DWORD bitlen;
    DWORD pubexp;
} RSAPUBKEY;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW;
typedef WNDCLASSW WNDCLASS;

typedef struct tagCOPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    PVOID lpData;
} COPYDATASTRUCT, *PCOPYDATASTRUCT;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW WIN32_FIND_DATA;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _STARTUPINFOW {
    DWORD cb;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

/* Opaque to callers; large enough for the backend's own lock. */
typedef struct _CRITICAL_SECTION {
    void* impl;
    long reserved[8];
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

#ifdef __cplusplus
extern "C" {
#endif

/* Errors (processes.cpp). */
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);

/* Windows, classes and resources (windows.cpp). */
ATOM WINAPI RegisterClassW(const WNDCLASSW* windowClass);
HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title,
                            DWORD style, int x, int y, int width, int height,
                            HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param);
BOOL WINAPI ShowWindow(HWND window, int showCommand);
BOOL WINAPI UpdateWindow(HWND window);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam);
int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name);
HGDIOBJ WINAPI GetStockObject(int object);
HACCEL WINAPI LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
int WINAPI TranslateAcceleratorW(HWND window, HACCEL table, LPMSG message);

/* Messages and the loop (messages.cpp). */
UINT WINAPI RegisterWindowMessageW(LPCWSTR name);
HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR title);
BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam);
LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam);
LRESULT WINAPI SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam, UINT flags, UINT timeout,
                                   PDWORD_PTR result);
BOOL WINAPI GetMessageW(LPMSG message, HWND window, UINT first, UINT last);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageW(const MSG* message);
void WINAPI PostQuitMessage(int exitCode);

/* Timers and time (timers.cpp, clock.cpp). */
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse,
                         TIMERPROC proc);
BOOL WINAPI KillTimer(HWND window, UINT_PTR id);
DWORD WINAPI GetTickCount(void);
void WINAPI Sleep(DWORD milliseconds);
void WINAPI GetLocalTime(LPSYSTEMTIME time);

/* Processes and synchronisation (processes.cpp, sync.cpp). */
BOOL WINAPI CreateProcessW(LPCWSTR image, LPWSTR commandLine,
                           LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes,
                           BOOL inheritHandles, DWORD flags, LPVOID environment,
                           LPCWSTR currentFolder, LPSTARTUPINFOW startup,
                           LPPROCESS_INFORMATION info);
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner,
                           LPCWSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);
BOOL WINAPI CloseHandle(HANDLE handle);
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

/* Files (files.cpp). Paths are device paths: absolute, backslashes, no
 * drive letter, resolved under the device root. */
DWORD WINAPI GetFileAttributesW(LPCWSTR path);
BOOL WINAPI SetFileAttributesW(LPCWSTR path, DWORD attributes);
BOOL WINAPI DeleteFileW(LPCWSTR path);
BOOL WINAPI CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists);
BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL WINAPI RemoveDirectoryW(LPCWSTR path);
HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL WINAPI FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL WINAPI FindClose(HANDLE search);

/* The C runtime's fopen for device paths: the path is 8-bit in the ANSI code
 * page and is mapped under the device root like every other file call. The
 * stream is the backend's own (file_stream.cpp): the stdio calls below take
 * it, and any other stream as the C library does. */
FILE* HostFopen(const char* path, const char* mode);
char* HostFgets(char* out, int size, FILE* file);
size_t HostFread(void* data, size_t size, size_t count, FILE* file);
size_t HostFwrite(const void* data, size_t size, size_t count, FILE* file);
int HostFputs(const char* text, FILE* file);
int HostFprintf(FILE* file, const char* format, ...);
int HostFflush(FILE* file);
int HostFerror(FILE* file);
int HostFeof(FILE* file);
void HostRewind(FILE* file);
int HostFclose(FILE* file);

/* Text (text.cpp). CP_ACP is code page 949. */
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source,
                               int sourceLength, LPWSTR destination,
                               int destinationLength);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source,
                               int sourceLength, LPSTR destination,
                               int destinationLength, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar);
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

/* Signatures (crypto.cpp): RSA with PKCS #1 v1.5 padding over SHA-256.
 * Only the verifying context exists (CRYPT_VERIFYCONTEXT, no key
 * container). A signature is least significant byte first, as CryptoAPI
 * writes it. */
BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container,
                                 LPCWSTR providerName, DWORD providerType,
                                 DWORD flags);
BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags);
BOOL WINAPI CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD length,
                           HCRYPTKEY unwrapKey, DWORD flags, HCRYPTKEY* key);
BOOL WINAPI CryptDestroyKey(HCRYPTKEY key);
BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm,
                            HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash);
BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length,
                          DWORD flags);
BOOL WINAPI CryptVerifySignatureW(HCRYPTHASH hash, const BYTE* signature,
                                  DWORD length, HCRYPTKEY publicKey,
                                  LPCWSTR description, DWORD flags);
BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash);

/* Diagnostics (debug.cpp). */
void WINAPI OutputDebugStringW(LPCWSTR text);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <cstdio>
#endif
#define fopen HostFopen
#define fgets HostFgets
#define fread HostFread
#define fwrite HostFwrite
#define fputs HostFputs
#define fprintf HostFprintf
#define fflush HostFflush
#define ferror HostFerror
#define feof HostFeof
#define rewind HostRewind
#define fclose HostFclose

#ifdef __cplusplus
/* std::fclose and the rest reach the same calls (<cstdio> is included above,
 * so that it cannot take the names back). */
namespace std {
using ::HostFopen;
using ::HostFgets;
using ::HostFread;
using ::HostFwrite;
using ::HostFputs;
using ::HostFprintf;
using ::HostFflush;
using ::HostFerror;
using ::HostFeof;
using ::HostRewind;
using ::HostFclose;
}
#endif

#define RegisterClass RegisterClassW
#define CreateWindowEx CreateWindowExW
#define DefWindowProc DefWindowProcW
#define LoadString LoadStringW
#define LoadIcon LoadIconW
#define LoadAccelerators LoadAcceleratorsW
#define TranslateAccelerator TranslateAcceleratorW
#define RegisterWindowMessage RegisterWindowMessageW
#define FindWindow FindWindowW
#define PostMessage PostMessageW
#define SendMessage SendMessageW
#define SendMessageTimeout SendMessageTimeoutW
#define GetMessage GetMessageW
#define DispatchMessage DispatchMessageW
#define CreateProcess CreateProcessW
#define CreateMutex CreateMutexW
#define GetFileAttributes GetFileAttributesW
#define SetFileAttributes SetFileAttributesW
#define DeleteFile DeleteFileW
#define CopyFile CopyFileW
#define CreateDirectory CreateDirectoryW
#define RemoveDirectory RemoveDirectoryW
#define FindFirstFile FindFirstFileW
#define FindNextFile FindNextFileW
#define OutputDebugString OutputDebugStringW
#define CryptAcquireContext CryptAcquireContextW
#define CryptVerifySignature CryptVerifySignatureW

#endif
