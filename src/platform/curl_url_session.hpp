#pragma once

// The Linux URL session, on libcurl.
//
// One background thread drives a curl multi handle: every data task becomes a
// transfer on it, so many run at once (up to 16 connections per host, the
// rest queue) and connections are reused. Only http and https are spoken; at most a few redirects
// are followed. Errors carry libcurl's code (CURLE_OPERATION_TIMEDOUT for a time-out) and
// curl_easy_strerror's text.
//
// Destruction cancels what is in flight: every completion still owed runs on
// the session thread with the error kCancelledCode before the destructor
// returns, so whatever the completions reach must outlive the session.
// Tasks started by those completions are cancelled the same way. A
// completion must not destroy the session that runs it.
//
// Thread-safety: as URLSession.

#include <curl/curl.h>

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/log.hpp"
#include "tavrino/platform/url_session.hpp"

namespace tavrino::platform {

// The URLError::code of a task cancelled by the session's destruction.
inline constexpr int kCancelledCode = CURLE_ABORTED_BY_CALLBACK;

// Returns a session that logs its own troubles (a completion that threw) to
// log, which must outlive it.
TAVRINO_EXPORT std::unique_ptr<URLSession> makeCurlURLSession(Log& log);

// Makes the blocking loads (contentsOf) of a session made here fail, those
// under way within about a second and later ones at once, so that background
// work waiting on a hung answer lets a shutdown finish. Other sessions are
// left alone.
TAVRINO_EXPORT void abortBlockingLoads(URLSession& session);

}  // namespace tavrino::platform
