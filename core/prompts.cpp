#include "core/prompts.h"

#include "core/errors.h"

namespace {
Prompts* g_prompts = nullptr;
}

Prompts& CurrentPrompts() {
    if (!g_prompts) throw AppError(91, L"No prompts are installed");
    return *g_prompts;
}

void SetPrompts(Prompts* prompts) { g_prompts = prompts; }
