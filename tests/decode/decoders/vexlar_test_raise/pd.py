# SPDX-License-Identifier: GPL-3.0-or-later
# Test fixture only: annotates the edges of its channel and raises after
# 'fail_after' of them.
import sigrokdecode as srd

class Decoder(srd.Decoder):
    api_version = 3
    id = 'vexlar_test_raise'
    name = 'Raise test'
    longname = 'Decoder that raises (test fixture)'
    desc = 'Annotates edges, then raises an exception.'
    license = 'gplv3+'
    inputs = ['logic']
    outputs = []
    tags = ['Debug/trace']
    channels = (
        {'id': 'd', 'name': 'D', 'desc': 'Data'},
    )
    options = (
        {'id': 'fail_after', 'desc': 'Edges before the exception', 'default': 3},
    )
    annotations = (
        ('edge', 'Edge'),
    )

    def reset(self):
        pass

    def start(self):
        self.out_ann = self.register(srd.OUTPUT_ANN)

    def decode(self):
        edges = 0
        while True:
            self.wait({0: 'e'})
            edges += 1
            self.put(self.samplenum, self.samplenum, self.out_ann, [0, ['edge %d' % edges]])
            if edges >= self.options['fail_after']:
                raise RuntimeError('fixture failure after %d edges' % edges)
