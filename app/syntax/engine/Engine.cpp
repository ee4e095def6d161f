#include "Engine.h"

#include "Interpreter.h"

namespace script {

CEngine::CEngine(CHost* host) : interp_(std::make_unique<CInterpreter>(host)) {}
CEngine::~CEngine() = default;

void CEngine::AddNamedItem(StringView name, std::shared_ptr<CObject> object, bool globalMembers) {
    interp_->AddNamedItem(name, std::move(object), globalMembers);
}
void CEngine::Run(StringView text, int firstLine) { interp_->Run(text, firstLine); }
int CEngine::ProcedureId(StringView name) const { return interp_->ProcedureId(name); }
String CEngine::ProcedureName(int id) const { return interp_->ProcedureName(id); }
CValue CEngine::Call(int id, std::span<CValue* const> args) { return interp_->Call(id, args); }
void CEngine::Interrupt() { interp_->Interrupt(); }
void CEngine::Resume() { interp_->Resume(); }
bool CEngine::Interrupted() const { return interp_->Interrupted(); }
void CEngine::SetStackBudget(size_t bytes) { interp_->SetStackBudget(bytes); }

}  // namespace script
