#include "core/prompts.h"

#include "core/apperror.h"
#include "core/interfacetexts.h"

bool runReportingErrors(Prompts& prompts, const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (const AppError& e) {
        prompts.error(e.text());
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        prompts.error(unknownErrorText(interfaceLanguage()));
    }
    return false;
}
