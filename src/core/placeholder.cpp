// Keeps the core library non-empty until its first sources land.
namespace tavrino {}  // namespace tavrino
