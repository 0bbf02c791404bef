#pragma once

#include <stdexcept>
#include <string>

namespace fk {

// Base of every error the program reports: its message is what the error box shows.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// A text that is no valid integer: "'%s' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Replaces each "%s" and "%d" of a message template, in order, by the given texts.
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace fk
