#pragma once
#include <QString>
#include <stdexcept>

// The error that the programs raise and show: a short fixed message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};
