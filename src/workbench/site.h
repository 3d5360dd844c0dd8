#pragma once

#include <QString>

#include "platform/http.h"

// Where the maker's web site lives. The forum host serves the plug-in list and the forum
// page; the main host serves the version file, the share and search pages, the script
// downloads and the statistics page.
//
// Both hosts and the request time limit may be set in "site.ini" of the program folder
// (GBK, CR LF), section "site":
//
//     [site]
//     forumHost=http://bbs.example.com
//     mainHost=http://www.example.com
//     requestTimeoutMs=8000
//
// A host is a scheme and a host name, optionally a port and a leading path, without a
// trailing "/". A missing file, key or empty value gives the default. The file is read at
// every call, so a test may rewrite it between requests; it is never created.
namespace Site {

QString defaultForumHost();
QString defaultMainHost();

QString forumHost();
QString mainHost();

// Time limit of each synchronous request to the site, in milliseconds (100 to 120000);
// the platform's default unless site.ini names another.
int requestTimeoutMs();

// The addresses the programs request. The date and time texts are appended as the system
// writes them, unencoded.
QString pluginListAddress();      // forum host & "/plugin.txt?d=" & date
QString versionFileAddress();     // main host & "/Velmora/download/TolvarVersion.txt?d=" & date
QString forumPageAddress();       // forum host & "/bbs/" & date and time
QString statisticsPageAddress();  // main host & "/total.htm?t=" & date and time
QString shareAddress();           // main host & "/Velmora/script/share.asp"
QString searchAddress();          // main host & "/Velmora/script/search.asp"
// main host & "/Velmora/script/download.asp?kind=" & kind & "&id=" & id
QString downloadAddress(const QString& kind, const QString& id);

// Why a request to the site brought nothing to use, in words for the user: no connection
// (no network, or no site at that address), no answer in time, or an error page. Empty for
// a whole reply with a status below 400.
QString failureText(const platform::HttpReply& reply);

}  // namespace Site
