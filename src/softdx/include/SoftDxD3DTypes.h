#pragma once
// Direct3D 7's basic records and vertex formats, field for field in the system's order and
// names. The unions give each field both of its names (x and dvX), as the system's do.
#include "SoftDxDDrawErrors.h"
#include "SoftDxDDrawStructs.h"
#include "SoftDxTypes.h"

typedef float D3DVALUE, *LPD3DVALUE;
typedef DWORD D3DCOLOR, *LPD3DCOLOR;

#define D3DVAL(val) ((float)(val))
#define RGBA_GETALPHA(rgb) ((rgb) >> 24)
#define RGBA_GETRED(rgb) (((rgb) >> 16) & 0xff)
#define RGBA_GETGREEN(rgb) (((rgb) >> 8) & 0xff)
#define RGBA_GETBLUE(rgb) ((rgb)&0xff)
#define RGBA_MAKE(r, g, b, a) ((D3DCOLOR)(((a) << 24) | ((r) << 16) | ((g) << 8) | (b)))
#define RGB_MAKE(r, g, b) ((D3DCOLOR)(((r) << 16) | ((g) << 8) | (b)))
#define D3DRGB(r, g, b) (0xff000000 | (((LONG)((r)*255)) << 16) | (((LONG)((g)*255)) << 8) | (LONG)((b)*255))
#define D3DRGBA(r, g, b, a) \
    ((((LONG)((a)*255)) << 24) | (((LONG)((r)*255)) << 16) | (((LONG)((g)*255)) << 8) | (LONG)((b)*255))

#define D3DENUMRET_CANCEL DDENUMRET_CANCEL
#define D3DENUMRET_OK DDENUMRET_OK

// clang-format off
typedef struct _D3DVECTOR {
    union { D3DVALUE x; D3DVALUE dvX; };
    union { D3DVALUE y; D3DVALUE dvY; };
    union { D3DVALUE z; D3DVALUE dvZ; };
} D3DVECTOR, *LPD3DVECTOR;

typedef struct _D3DCOLORVALUE {
    union { D3DVALUE r; D3DVALUE dvR; };
    union { D3DVALUE g; D3DVALUE dvG; };
    union { D3DVALUE b; D3DVALUE dvB; };
    union { D3DVALUE a; D3DVALUE dvA; };
} D3DCOLORVALUE, *LPD3DCOLORVALUE;

typedef struct _D3DRECT {
    union { LONG x1; LONG lX1; };
    union { LONG y1; LONG lY1; };
    union { LONG x2; LONG lX2; };
    union { LONG y2; LONG lY2; };
} D3DRECT, *LPD3DRECT;

// Position, normal and one texture coordinate pair: D3DFVF_VERTEX.
typedef struct _D3DVERTEX {
    union { D3DVALUE x; D3DVALUE dvX; };
    union { D3DVALUE y; D3DVALUE dvY; };
    union { D3DVALUE z; D3DVALUE dvZ; };
    union { D3DVALUE nx; D3DVALUE dvNX; };
    union { D3DVALUE ny; D3DVALUE dvNY; };
    union { D3DVALUE nz; D3DVALUE dvNZ; };
    union { D3DVALUE tu; D3DVALUE dvTU; };
    union { D3DVALUE tv; D3DVALUE dvTV; };
} D3DVERTEX, *LPD3DVERTEX;

typedef struct _D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
} D3DMATRIX, *LPD3DMATRIX;

typedef struct _D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
} D3DVIEWPORT7, *LPD3DVIEWPORT7;

typedef struct _D3DMATERIAL7 {
    union { D3DCOLORVALUE diffuse; D3DCOLORVALUE dcvDiffuse; };
    union { D3DCOLORVALUE ambient; D3DCOLORVALUE dcvAmbient; };
    union { D3DCOLORVALUE specular; D3DCOLORVALUE dcvSpecular; };
    union { D3DCOLORVALUE emissive; D3DCOLORVALUE dcvEmissive; };
    union { D3DVALUE power; D3DVALUE dvPower; };
} D3DMATERIAL7, *LPD3DMATERIAL7;
// clang-format on

typedef enum {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
    D3DLIGHT_PARALLELPOINT = 4,
    D3DLIGHT_GLSPOT = 5,
    D3DLIGHT_FORCE_DWORD = 0x7fffffff
} D3DLIGHTTYPE;

typedef struct _D3DLIGHT7 {
    D3DLIGHTTYPE dltType;
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvAmbient;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    D3DVALUE dvRange;
    D3DVALUE dvFalloff;
    D3DVALUE dvAttenuation0;
    D3DVALUE dvAttenuation1;
    D3DVALUE dvAttenuation2;
    D3DVALUE dvTheta;
    D3DVALUE dvPhi;
} D3DLIGHT7, *LPD3DLIGHT7;

#define D3DCLEAR_TARGET 0x00000001
#define D3DCLEAR_ZBUFFER 0x00000002
#define D3DCLEAR_STENCIL 0x00000004

#define D3DFVF_POSITION_MASK 0x00E
#define D3DFVF_XYZ 0x002
#define D3DFVF_XYZRHW 0x004
#define D3DFVF_NORMAL 0x010
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_SPECULAR 0x080
#define D3DFVF_TEXCOUNT_MASK 0xf00
#define D3DFVF_TEXCOUNT_SHIFT 8
#define D3DFVF_TEX0 0x000
#define D3DFVF_TEX1 0x100
#define D3DFVF_TEX2 0x200
#define D3DFVF_VERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1)
