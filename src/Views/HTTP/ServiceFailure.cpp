#include "Views/HTTP/ServiceFailure.h"

#include "API/APIService.h"
#include "Platform/Prompter.h"

ServiceFailure::ServiceFailure(APIService& service) {
    connection_ = QObject::connect(&service, &APIService::operationFailed, [this](const QString& message) {
        if (message_.isEmpty()) message_ = message;
    });
}

ServiceFailure::~ServiceFailure() { QObject::disconnect(connection_); }

bool ServiceFailure::report(const QString& title) const {
    if (message_.isEmpty()) return false;
    Prompter::current().ask({title, message_, {}, true});
    return true;
}
