#include "cli/CliInputs.h"

#include "Shared/InputCollector.h"

namespace CliInputs {

QStringList acceptedFiles(const QStringList &paths, QStringList *skipped, QStringList *roots)
{
    const AcceptedInputs inputs = InputCollector::collect(paths);
    if (roots)
        *roots = inputs.roots;
    for (const InputRefusal &refusal : inputs.refused)
        skipped->append(QStringLiteral("%1: %2").arg(refusal.path, refusal.reason));
    return inputs.files;
}

} // namespace CliInputs
