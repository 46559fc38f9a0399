// The artwork pack the generator drew during this build, linked into whatever links the GUI
// layer (the plug-in above all), so the editor needs no file beside the shared object. The
// bytes are taken in by the assembler: the pack is a few megabytes, too big to compile as an
// array. TAV_ARTWORK_PACK names the pack file (set by the build).
#ifndef TAV_ARTWORK_PACK
#error "TAV_ARTWORK_PACK must name the generated artwork pack"
#endif

#define TAV_STR2(x) #x
#define TAV_STR(x) TAV_STR2(x)

__asm__(".pushsection .rodata.tav_artwork_pack,\"a\",@progbits\n"
        ".balign 16\n"
        ".globl tav_artwork_pack_begin\n"
        ".hidden tav_artwork_pack_begin\n"
        ".type tav_artwork_pack_begin,@object\n"
        "tav_artwork_pack_begin:\n"
        ".incbin " TAV_STR(TAV_ARTWORK_PACK) "\n"
        ".globl tav_artwork_pack_end\n"
        ".hidden tav_artwork_pack_end\n"
        ".type tav_artwork_pack_end,@object\n"
        "tav_artwork_pack_end:\n"
        ".byte 0\n"
        ".popsection\n");
