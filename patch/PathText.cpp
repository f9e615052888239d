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

/* Copied rather than formatted: every line of a list is joined to its
 * folder at every start, and a long list is read at every start after a
 * cut. */
int JoinPath(char* out, size_t size, const char* folder, const char* name)
{
    memset(out, 0, size);
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength >= size) {
        return 0;
    }
    memcpy(out, folder, folderLength);
    out[folderLength] = '\\';
    memcpy(out + folderLength + 1, name, nameLength);
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

static int IsSeparator(WCHAR unit)
{
    return unit == L'\\' || unit == L'/';
}

/* Where a normalised path is being formed: `length` units written, of which
 * the first `rootLength` ("\" or "\\") are never taken away, and
 * `components` names appended after them. */
struct PathForm {
    WCHAR* out;
    size_t units;
    size_t length;
    size_t rootLength;
    int components;
    int keptComponents;
};

static int AppendUnit(PathForm* form, WCHAR unit)
{
    if (form->length + 1 >= form->units) {
        return 0;
    }
    form->out[form->length++] = unit;
    return 1;
}

/* ".." takes the last name away, but not the root, nor a network path's
 * server and share. */
static void DropLastComponent(PathForm* form)
{
    if (form->components <= form->keptComponents) {
        return;
    }
    size_t cut = form->length;
    while (cut > form->rootLength && form->out[cut - 1] != L'\\') {
        --cut;
    }
    /* The separator before the name goes too, unless it is the root's. */
    size_t kept = cut > form->rootLength ? cut - 1 : form->rootLength;
    memset(form->out + kept, 0, (form->length - kept) * sizeof(WCHAR));
    form->length = kept;
    --form->components;
}

static int AppendComponent(PathForm* form, const WCHAR* name, size_t count)
{
    if (form->length > form->rootLength && !AppendUnit(form, L'\\')) {
        return 0;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!AppendUnit(form, FoldAsciiCase(name[i]))) {
            return 0;
        }
    }
    ++form->components;
    return 1;
}

/* Empty names (repeated or trailing separators) and "." name nothing. */
static int AddComponent(PathForm* form, const WCHAR* name, size_t count)
{
    if (count == 0 || (count == 1 && name[0] == L'.')) {
        return 1;
    }
    if (count == 2 && name[0] == L'.' && name[1] == L'.') {
        DropLastComponent(form);
        return 1;
    }
    return AppendComponent(form, name, count);
}

int NormalisePath(const WCHAR* path, WCHAR* out, size_t units)
{
    if (units == 0) {
        return 0;
    }
    memset(out, 0, units * sizeof(WCHAR));
    PathForm form = {out, units, 0, 1, 0, 0};
    int network = IsSeparator(path[0]) && IsSeparator(path[1]);
    if (!AppendUnit(&form, L'\\') || (network && !AppendUnit(&form, L'\\'))) {
        memset(out, 0, units * sizeof(WCHAR));
        return 0;
    }
    form.rootLength = form.length;
    form.keptComponents = network ? 2 : 0;
    const WCHAR* name = path;
    for (const WCHAR* p = path;; ++p) {
        if (*p != 0 && !IsSeparator(*p)) {
            continue;
        }
        if (!AddComponent(&form, name, (size_t)(p - name))) {
            memset(out, 0, units * sizeof(WCHAR));
            return 0;
        }
        if (*p == 0) {
            return 1;
        }
        name = p + 1;
    }
}

/* Each normal form is at most two units longer than its path: one for a
 * root added to a path without one, one for the terminator. */
int IsSamePath(const WCHAR* first, const WCHAR* second)
{
    size_t firstUnits = wcslen(first) + 2;
    size_t secondUnits = wcslen(second) + 2;
    WCHAR* firstForm = new WCHAR[firstUnits];
    WCHAR* secondForm = new WCHAR[secondUnits];
    int same = NormalisePath(first, firstForm, firstUnits) &&
               NormalisePath(second, secondForm, secondUnits) &&
               wcscmp(firstForm, secondForm) == 0;
    delete[] firstForm;
    delete[] secondForm;
    return same;
}
