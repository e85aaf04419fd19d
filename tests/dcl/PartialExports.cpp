// A stand-in library with only two of the decompressor's three entry points:
// TCompressor must refuse it (code 6) and free it again.
extern "C" {
__declspec(dllexport) unsigned __cdecl partial_implode() { return 0; }
__declspec(dllexport) unsigned __cdecl partial_explode() { return 0; }
}
