#include "app/LaunchImage.h"

void LaunchImage(LPCWSTR image)
{
    /* Windows CE takes no command line, no inheritance, no environment, no
     * current folder and no start-up or process record; passing any of them
     * is where a desktop-trained hand goes wrong. We keep no handle. */
    CreateProcessW(image, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, NULL);
}
