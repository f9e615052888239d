/* A walk over the top-level files of one folder. */
#ifndef HAILWATCH_FILESEARCH_H
#define HAILWATCH_FILESEARCH_H

#include "platform/platform.h"

/* Hands out, in the platform's order, the entries of folder\pattern that lack
 * the directory bit; subfolders are skipped and never entered. The search is
 * closed with the object. */
class CFileSearch {
public:
    CFileSearch(const WCHAR* folder, const WCHAR* pattern);
    ~CFileSearch();
    /* Moves to the next file; 0 when there is none (or the search did not open). */
    int NextFile();
    const WCHAR* Name() const { return m_entry.cFileName; }

private:
    HANDLE m_search;
    int m_started;
    WIN32_FIND_DATAW m_entry;
    CFileSearch(const CFileSearch&);
    CFileSearch& operator=(const CFileSearch&);
};

#endif
