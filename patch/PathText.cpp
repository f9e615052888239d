#include "patch/PathText.h"

#include <string.h>
#include <wchar.h>

#include "platform/platform.h"

CWideCopy::CWideCopy(const char* text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (length < 0) {
        length = 0;
    }
    m_units = new WCHAR[length + 1];
    /* A length of 0 would turn the conversion into another size query. */
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, m_units, length);
    }
    m_units[length] = 0;
}

CWideCopy::~CWideCopy()
{
    delete[] m_units;
}

CNarrowCopy::CNarrowCopy(const WCHAR* units)
{
    int length = WideCharToMultiByte(CP_ACP, 0, units, -1, NULL, 0, NULL, NULL);
    if (length < 0) {
        length = 0;
    }
    m_text = new char[length + 1];
    if (length > 0) {
        WideCharToMultiByte(CP_ACP, 0, units, -1, m_text, length, NULL, NULL);
    }
    m_text[length] = 0;
}

CNarrowCopy::~CNarrowCopy()
{
    delete[] m_text;
}

int JoinPath(char* out, size_t size, const char* folder, const char* name)
{
    memset(out, 0, size);
    if (strlen(folder) + 1 + strlen(name) >= size) {
        return 0;
    }
    sprintf(out, "%s\\%s", folder, name);
    return 1;
}

int JoinWidePath(WCHAR* out, size_t units, const WCHAR* folder, const WCHAR* name)
{
    memset(out, 0, units * sizeof(WCHAR));
    if (wcslen(folder) + 1 + wcslen(name) >= units) {
        return 0;
    }
    wsprintfW(out, L"%s\\%s", folder, name);
    return 1;
}

DWORD ReadAttributes(const char* path)
{
    CWideCopy widePath(path);
    return GetFileAttributesW(widePath.Units());
}

static WCHAR FoldAsciiCase(WCHAR unit)
{
    if (unit >= L'A' && unit <= L'Z') {
        return (WCHAR)(unit - L'A' + L'a');
    }
    return unit;
}

int IsSamePath(const WCHAR* first, const WCHAR* second)
{
    for (;; ++first, ++second) {
        if (FoldAsciiCase(*first) != FoldAsciiCase(*second)) {
            return 0;
        }
        if (*first == 0) {
            return 1;
        }
    }
}
