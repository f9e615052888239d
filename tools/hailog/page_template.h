// The fixed parts of the page: its style sheet, legend and drawing script.
#ifndef HAILOG_PAGE_TEMPLATE_H
#define HAILOG_PAGE_TEMPLATE_H

namespace hailog {

extern const char kPageStyle[];
extern const char kPageLegend[];
extern const char kPageScript[];

} // namespace hailog

#endif
