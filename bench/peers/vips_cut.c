/* Peer pipeline for the benchmark comparison: libvips, as an expert writes it for speed, in one
 * process.
 *
 * usage: vips_cut PICTURE WIDTH HEIGHT X,Y,W,H=OUT.jpg ...
 *
 * vips_thumbnail scales the picture without keeping its aspect ratio (size "force"), using
 * shrink-on-load for a JPEG (libjpeg's reduced-scale decode); each rectangle is cut out of the
 * result in memory and saved as a JPEG at quality 100 with 4:2:0 chroma (as the project writes
 * its parts). libvips runs its own thread pool on every core. */
#include <stdio.h>
#include <stdlib.h>
#include <vips/vips.h>

int main(int argc, char **argv)
{
    if (VIPS_INIT(argv[0]) || argc < 5) {
        fprintf(stderr, "usage: vips_cut PICTURE WIDTH HEIGHT X,Y,W,H=OUT.jpg ...\n");
        return 2;
    }
    const int width = atoi(argv[2]);
    const int height = atoi(argv[3]);
    VipsImage *scaled = NULL;
    if (vips_thumbnail(argv[1], &scaled, width, "height", height, "size", VIPS_SIZE_FORCE, NULL))
        vips_error_exit(NULL);
    /* Held in memory once, so the crops do not scale the picture again. */
    VipsImage *full = vips_image_copy_memory(scaled);
    if (!full)
        vips_error_exit(NULL);
    for (int i = 4; i < argc; ++i) {
        int x, y, w, h;
        char out[4096];
        if (sscanf(argv[i], "%d,%d,%d,%d=%4095s", &x, &y, &w, &h, out) != 5) {
            fprintf(stderr, "vips_cut: bad part %s\n", argv[i]);
            return 2;
        }
        VipsImage *part = NULL;
        if (vips_extract_area(full, &part, x, y, w, h, NULL) ||
            vips_jpegsave(part, out, "Q", 100, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, NULL))
            vips_error_exit(NULL);
        g_object_unref(part);
    }
    g_object_unref(full);
    g_object_unref(scaled);
    vips_shutdown();
    return 0;
}
