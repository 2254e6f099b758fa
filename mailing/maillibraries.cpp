#include "mailing/maillibraries.h"

#include <curl/curl.h>
#include <gmime/gmime.h>

#include <mutex>

void initMailLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        g_mime_init();
    });
}
