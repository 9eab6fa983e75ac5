// raster_bench's reference renderer: Mesa's llvmpipe through EGL without a window (the
// surfaceless platform), one thread (LP_NUM_THREADS=0), drawing raster_scene with OpenGL's
// fixed-function lighting and texturing into a framebuffer object.
#define GL_GLEXT_PROTOTYPES 1
#include "RasterBenchGl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "RasterScene.h"

using namespace raster_scene;

namespace {

double ProcessMs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void Set(GLenum light, GLenum what, float a, float b, float c, float d)
{
    const GLfloat v[4] = {a, b, c, d};
    glLightfv(light, what, v);
}

}  // namespace

double LlvmpipeFrameMs(std::string& why)
{
    setenv("LP_NUM_THREADS", "0", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        why = "no EGL surfaceless display";
        return 0;
    }
    EGLContext context = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_API)) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        why = "no OpenGL context without a surface";
        eglTerminate(display);
        return 0;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer || !std::strstr(renderer, "llvmpipe")) {
        why = std::string("the renderer is not llvmpipe: ") + (renderer ? renderer : "none");
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
        eglTerminate(display);
        return 0;
    }

    GLuint framebuffer, colour, depth, texture;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, Width, Height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, Width, Height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, Width, Height);

    std::vector<uint32_t> texels(size_t{TextureSide} * TextureSide);
    for (uint32_t y = 0; y < TextureSide; ++y)
        for (uint32_t x = 0; x < TextureSide; ++x) texels[y * TextureSide + x] = Texel(x, y) | 0xFF000000;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, TextureSide, TextureSide, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);

    // Direct3D's matrices are row-major for row vectors, which is OpenGL's column-major
    // order for column vectors: they load unchanged.
    glMatrixMode(GL_PROJECTION);
    const D3DMATRIX projection = Projection();
    glLoadMatrixf(&projection._11);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    const GLfloat ambient[4] = {Ambient, Ambient, Ambient, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    Set(GL_LIGHT0, GL_POSITION, -SunDirection[0], -SunDirection[1], -SunDirection[2], 0);
    Set(GL_LIGHT0, GL_DIFFUSE, SunColour, SunColour, SunColour, 1);
    Set(GL_LIGHT0, GL_SPECULAR, SunColour, SunColour, SunColour, 1);
    glEnable(GL_LIGHT1);
    Set(GL_LIGHT1, GL_POSITION, LampPosition[0], LampPosition[1], LampPosition[2], 1);
    Set(GL_LIGHT1, GL_DIFFUSE, LampColour[0], LampColour[1], LampColour[2], 1);
    Set(GL_LIGHT1, GL_SPECULAR, 0, 0, 0, 1);
    glLightf(GL_LIGHT1, GL_CONSTANT_ATTENUATION, LampConstant);
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, LampLinear);
    const GLfloat white[4] = {1, 1, 1, 1}, shine[4] = {Specular, Specular, Specular, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, white);
    glMaterialfv(GL_FRONT, GL_SPECULAR, shine);
    glMaterialf(GL_FRONT, GL_SHININESS, Power);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);  // the mesh's front faces turn the same way on both

    const Mesh sphere = Sphere();
    const GLsizei stride = sizeof(D3DVERTEX);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, &sphere.Vertices[0].x);
    glNormalPointer(GL_FLOAT, stride, &sphere.Vertices[0].nx);
    glTexCoordPointer(2, GL_FLOAT, stride, &sphere.Vertices[0].tu);
    glClearColor(0.06f, 0.09f, 0.19f, 1);

    std::vector<double> frames;
    for (int frame = 0; frame < Frames; ++frame) {
        const double start = ProcessMs();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int row = 0; row < Rows; ++row)
            for (int column = 0; column < Columns; ++column) {
                const D3DMATRIX world = World(frame, row, column);
                glLoadMatrixf(&world._11);
                glDrawElements(GL_TRIANGLES, GLsizei(sphere.Indices.size()), GL_UNSIGNED_SHORT, sphere.Indices.data());
            }
        glFinish();
        frames.push_back(ProcessMs() - start);
    }
    // A comparison only counts if the spheres were really drawn: about a third of the
    // picture is theirs.
    std::vector<uint32_t> picture(size_t{Width} * Height);
    glReadPixels(0, 0, Width, Height, GL_BGRA, GL_UNSIGNED_BYTE, picture.data());
    const uint32_t background = picture[0];
    const size_t covered =
        size_t(std::count_if(picture.begin(), picture.end(), [&](uint32_t p) { return p != background; }));
    const bool failed = glGetError() != GL_NO_ERROR || covered < picture.size() / 5;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglTerminate(display);
    if (failed) {
        why = "OpenGL reported an error or drew too little";
        return 0;
    }
    return Median(frames);
}
