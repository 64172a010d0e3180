#pragma once
// The error types of the program. Each carries the English message, formatted with
// the offending values; the user interface shows it in a message box.
#include <stdexcept>
#include <string>

class EGeneralError : public std::runtime_error {
public:
    explicit EGeneralError(const std::string& message) : std::runtime_error(message) {}
};

// A caller passed a value the routine does not accept.
class EArgumentError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

class EArgumentOutOfRangeException : public EArgumentError {
public:
    using EArgumentError::EArgumentError;
};

// Text that does not convert to the number or token a reader expects.
class EConvertError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// A file that cannot be opened, read or written.
class EInOutError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// A hierarchy operation that would break the scene tree.
class ESceneHierarchyError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};
