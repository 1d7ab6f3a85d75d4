# SPDX-License-Identifier: GPL-3.0-or-later
'''
Test fixture: a decoder that annotates edges and then raises, so that the
tests can check how a decoder exception reaches the user.
'''
from .pd import Decoder
