import struct
cases=[]
def esc(b):
    return ''.join('\\x%02X'%c if (c<0x20 or c>=0x7f or c==0x5c or c==0x23) else chr(c) for c in b)
def add(name, file, b, decodes='no'):
    cases.append((name,file,b,decodes))
tga=lambda w,h,t=2,bpp=24: bytes([0,0,t,0,0,0,0,0,0,0,0,0])+struct.pack('<HHBB',w,h,bpp,0)
add('TGA header claiming 65535 x 65535','huge.tga',tga(65535,65535))
add('TGA, run-length coded, 12000 x 12000','rle.tga',tga(12000,12000,10,32)+b'\xff'+b'\0'*4)
add('TGA of 2 x 2 pixels','small.tga',tga(2,2)+b'\x10\x20\x30'*4,'yes')
add('PGM claiming 60000 x 60000','huge.pgm',b'P5\n60000 60000\n255\n')
add('PPM, plain, 12000 x 12000','big.ppm',b'P3\n12000 12000\n255\n0 0 0\n')
gif=b'GIF89a'+struct.pack('<HH',1,1)+b'\x00\x00\x00'
add('GIF frame larger than its screen','frame.gif',gif+b'\x21\xf9\x04\x00\x00\x00\x00\x00'+b'\x2c'+struct.pack('<HHHH',0,0,65535,65535)+b'\x00\x02\x02\x44\x01\x00\x3b')
add('GIF frame of 12000 x 12000 on a 1 x 1 screen','frame2.gif',gif+b'\x2c'+struct.pack('<HHHH',0,0,12000,12000)+b'\x00\x02\x02\x44\x01\x00\x3b')
add('GIF screen of 65535 x 65535','screen.gif',b'GIF87a'+struct.pack('<HH',65535,65535)+b'\x00\x00\x00\x3b')
tiff=b'II*\x00'+struct.pack('<I',8)+struct.pack('<H',4)
for tag,val in ((256,100000),(257,100000),(258,8),(277,1)):
    tiff+=struct.pack('<HHII',tag,4,1,val)
tiff+=struct.pack('<I',0)
add('TIFF claiming 100000 x 100000','huge.tif',tiff)
add('SVG of 65535 x 65535','huge.svg',b'<svg xmlns="http://www.w3.org/2000/svg" width="65535" height="65535"><rect width="65535" height="65535" fill="red"/></svg>')
add('XPM of 65535 x 65535','huge.xpm',b'/* XPM */\nstatic char *x[] = {\n"65535 65535 1 1",\n"a c red",\n};\n')
add('QOI of 65535 x 65535','huge.qoi',b'qoif'+struct.pack('>II',65535,65535)+b'\x04\x00'+b'\0'*7+b'\x01')
add('WebP claiming 16383 x 16383','huge.webp',b'RIFF'+struct.pack('<I',30)+b'WEBPVP8X'+struct.pack('<I',10)+b'\0\0\0\0'+(16382).to_bytes(3,'little')+(16382).to_bytes(3,'little'))
add('PCX of 65535 x 65535','huge.pcx',b'\x0a\x05\x01\x08'+struct.pack('<HHHH',0,0,65534,65534)+b'\0'*116)
add('XCF of 65535 x 65535','huge.xcf',b'gimp xcf file\0'+struct.pack('>III',65535,65535,0)+b'\0'*16)
add('LBM of 65535 x 65535','huge.lbm',b'FORM'+struct.pack('>I',40)+b'ILBMBMHD'+struct.pack('>IHHhhBBBBHBBHH',20,65535,65535,0,0,8,0,0,0,0,1,1,65535,65535))
add('ICO with a 65535 x 65535 bitmap','huge.ico',b'\0\0\1\0\1\0'+b'\0\0\0\0\1\0\x20\0'+struct.pack('<II',40,22)+struct.pack('<IiiHHIIiiII',40,65535,131070,1,32,0,0,0,0,0,0))
add('PNG claiming 100000 x 100000','huge.png',b'\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR'+struct.pack('>II',100000,100000)+b'\x08\x02\0\0\0'+b'\0'*4)
add('BMP claiming 12000 x 12000','big.bmp',b'BM'+struct.pack('<IHHI',0,0,0,54)+struct.pack('<IiiHHIIiiII',40,12000,12000,1,24,0,0,0,0,0,0))
add('JPEG frame of 65535 x 65535','huge.jpg',b'\xff\xd8\xff\xc0\x00\x11\x08'+struct.pack('>HH',65535,65535)+b'\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01')
add('progressive JPEG of 12000 x 12000','prog.jpg',b'\xff\xd8\xff\xc2\x00\x11\x08'+struct.pack('>HH',12000,12000)+b'\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01')
add('JPEG XL codestream','huge.jxl',b'\xff\x0a'+b'\xff'*16)
add('AVIF box','huge.avif',b'\0\0\0\x1cftypavif\0\0\0\0avifmif1miaf'+b'\0'*16)
with open('tests/data/media/hostile_pictures.cases','w') as f:
    f.write('# Crafted pictures (made by tests/data/media/make_hostile.py): each is refused (decodes: no) or\n# decoded without the process growing by more than a few megabytes, within a deadline.\n')
    for name,file,b,d in cases:
        f.write('\nname: %s\nfile: %s\nbytes: %s\ndecodes: %s\n'%(name,file,esc(b),d))
print(len(cases))
