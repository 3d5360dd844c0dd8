#pragma once

#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "library/textfile.h"

// Makes writes beyond a size fail with EFBIG while it lives: a real write error that even
// root meets.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

  private:
    rlimit old_{};
    sighandler_t oldHandler_ = nullptr;
    bool ok_ = false;
};

// While it lives, flushing or closing a new file fails the way a failing disk makes it fail
// (EIO); the real close still releases the file.
class FailingFlush {
  public:
    enum Step { Sync, Close };
    explicit FailingFlush(Step step) {
        if (step == Sync)
            ScriptModule::detail::fileSyncCall = [](int) {
                errno = EIO;
                return -1;
            };
        else
            ScriptModule::detail::fileCloseCall = [](int fd) {
                ::close(fd);
                errno = EIO;
                return -1;
            };
    }
    ~FailingFlush() {
        ScriptModule::detail::fileSyncCall = ::fdatasync;
        ScriptModule::detail::fileCloseCall = ::close;
    }
};
