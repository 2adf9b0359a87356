import sys
# Drops PADDING blocks from a FLAC file so that test files stay small.
p=sys.argv[1]; d=open(p,'rb').read()
assert d[:4]==b'fLaC'
out=bytearray(b'fLaC'); i=4; blocks=[]
while True:
    h=d[i]; last=h&0x80; t=h&0x7f; n=int.from_bytes(d[i+1:i+4],'big')
    blocks.append((t,d[i+4:i+4+n])); i+=4+n
    if last: break
blocks=[b for b in blocks if b[0]!=1]
for k,(t,body) in enumerate(blocks):
    out.append(t|(0x80 if k==len(blocks)-1 else 0)); out+=len(body).to_bytes(3,'big'); out+=body
out+=d[i:]
open(p,'wb').write(out)
