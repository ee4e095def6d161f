#include "Engine.h"

#include "Interpreter.h"

namespace script {

Engine::Engine(Host* host) : interp_(std::make_unique<Interpreter>(host)) {}
Engine::~Engine() = default;

void Engine::AddNamedItem(StringView name, std::shared_ptr<Object> object, bool globalMembers) {
    interp_->AddNamedItem(name, std::move(object), globalMembers);
}
void Engine::Run(StringView text, int firstLine) { interp_->Run(text, firstLine); }
int Engine::ProcedureId(StringView name) const { return interp_->ProcedureId(name); }
String Engine::ProcedureName(int id) const { return interp_->ProcedureName(id); }
Value Engine::Call(int id, std::span<Value* const> args) { return interp_->Call(id, args); }
void Engine::Interrupt() { interp_->Interrupt(); }
void Engine::Resume() { interp_->Resume(); }
bool Engine::Interrupted() const { return interp_->Interrupted(); }
void Engine::SetStackBudget(size_t bytes) { interp_->SetStackBudget(bytes); }

}  // namespace script
