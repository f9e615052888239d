#include "patch/FileSearch.h"

#include <string.h>

#include "patch/PathText.h"

CFileSearch::CFileSearch(const WCHAR* folder, const WCHAR* pattern)
    : m_search(INVALID_HANDLE_VALUE), m_started(0)
{
    WCHAR search[FOLDER_PATH_UNITS];
    memset(&m_entry, 0, sizeof(m_entry));
    /* A pattern that does not fit is a search that cannot open. */
    if (JoinWidePath(search, FOLDER_PATH_UNITS, folder, pattern)) {
        m_search = FindFirstFileW(search, &m_entry);
    }
}

CFileSearch::~CFileSearch()
{
    if (m_search != INVALID_HANDLE_VALUE) {
        FindClose(m_search);
    }
}

int CFileSearch::NextFile()
{
    if (m_search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    for (;;) {
        /* FindFirstFileW already delivered the first entry. */
        if (m_started && !FindNextFileW(m_search, &m_entry)) {
            return 0;
        }
        m_started = 1;
        if ((m_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return 1;
        }
    }
}
