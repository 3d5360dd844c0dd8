// Nothing of its own: this shared object only exists so the linker checks that the script
// library resolves against Qt Core and pugixml alone.
int core_library_purity_anchor = 0;
