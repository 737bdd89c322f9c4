"""The transducer: convolutional subsampling by 8 and a bidirectional LSTM encoder, an LSTM
prediction network with NeMo's state interface, and a joiner with token and duration outputs (TDT).

Every part is written so that its ONNX export is what sherpa-onnx's nemo_transducer code runs:
the encoder ignores frames at or past each stream's length (batched decoding pads with 0.0), the
prediction network takes one token and two state tensors and returns the next states, and the
joiner maps one encoder frame and one prediction output to V token logits (blank last) followed by
the duration logits.
"""
import torch
from torch import nn

DURATIONS = (0, 1, 2, 3, 4)


def frame_mask(lengths, frames):
    """(B, frames) True where a frame index is below the stream's length."""
    return torch.arange(frames, device=lengths.device)[None, :] < lengths[:, None]


def reverse_valid(x, lengths):
    """Reverses the first `length` frames of each (B, T, D) sequence, leaving the padding in
    place, so a backward LSTM run over it starts at each stream's own last frame."""
    t = torch.arange(x.shape[1], device=x.device)[None, :]
    index = torch.where(t < lengths[:, None], lengths[:, None] - 1 - t, t)
    return torch.gather(x, 1, index[:, :, None].expand(-1, -1, x.shape[2]))


class Subsampling(nn.Module):
    """Three convolutions over (time, frequency), the last two depthwise-separable (as NeMo's
    "dw_striding"), each of stride 2 in frequency and, for a factor of 8, in time (factor 4: the
    last one keeps the time axis): T' = ceil(T / factor). Frames past each stream's length are
    zeroed before every convolution, as if the stream ended there."""

    def __init__(self, feat_dim, channels, out_dim, factor=8):
        super().__init__()
        self.time_strides = [2, 2, 2] if factor == 8 else [2, 2, 1]
        self.first = nn.Conv2d(1, channels, 3, 2, 1)
        self.depthwise = nn.ModuleList([nn.Conv2d(channels, channels, 3, (stride, 2), 1,
                                                  groups=channels)
                                        for stride in self.time_strides[1:]])
        self.pointwise = nn.ModuleList([nn.Conv2d(channels, channels, 1) for _ in range(2)])
        freq = feat_dim
        for _ in range(3):
            freq = (freq + 1) // 2
        self.out = nn.Linear(channels * freq, out_dim)

    def _masked(self, x, lengths):
        return x * frame_mask(lengths, x.shape[2])[:, None, :, None].to(x.dtype)

    def forward(self, x, lengths):  # x (B, T, F)
        x = torch.relu(self.first(self._masked(x.unsqueeze(1), lengths)))
        lengths = torch.div(lengths + 1, 2, rounding_mode="floor")
        for depthwise, pointwise, stride in zip(self.depthwise, self.pointwise,
                                                self.time_strides[1:]):
            x = torch.relu(pointwise(depthwise(self._masked(x, lengths))))
            if stride == 2:
                lengths = torch.div(lengths + 1, 2, rounding_mode="floor")
        b, c, t, f = x.shape
        x = self.out(x.permute(0, 2, 1, 3).reshape(b, t, c * f))
        return x, lengths


class Encoder(nn.Module):
    def __init__(self, feat_dim=80, channels=64, dim=256, hidden=256, layers=2, dropout=0.1,
                 factor=8):
        super().__init__()
        self.subsampling = Subsampling(feat_dim, channels, dim, factor)
        self.forward_lstms = nn.ModuleList()
        self.backward_lstms = nn.ModuleList()
        size = dim
        for _ in range(layers):
            self.forward_lstms.append(nn.LSTM(size, hidden, batch_first=True))
            self.backward_lstms.append(nn.LSTM(size, hidden, batch_first=True))
            size = 2 * hidden
        # Batch normalisation of the subsampled frames (statistics over valid frames only): the
        # convolution output varies little over time around a large constant part, and without
        # it the LSTMs were not seen to start learning within the time budget.
        self.norm = nn.BatchNorm1d(dim)
        self.dropout = nn.Dropout(dropout)
        self.output_dim = size

    def forward(self, features, lengths):
        """features (B, T, F), lengths (B,) -> (B, T', D), (B,)"""
        x, lengths = self.subsampling(features, lengths)
        if self.training:
            valid = frame_mask(lengths, x.shape[1])
            normed = torch.zeros_like(x)
            normed[valid] = self.norm(x[valid])
            x = normed
        else:  # running statistics: the same for every frame, padding or not
            x = self.norm(x.transpose(1, 2)).transpose(1, 2)
        for fwd, bwd in zip(self.forward_lstms, self.backward_lstms):
            x = self.dropout(x)
            ahead, _ = fwd(x)
            behind, _ = bwd(reverse_valid(x, lengths))
            x = torch.cat([ahead, reverse_valid(behind, lengths)], dim=2)
        return x, lengths


class Predictor(nn.Module):
    """The prediction network: an embedding of the last token (the blank at the start, a zero
    vector) and an LSTM."""

    def __init__(self, vocab_size, hidden=320, layers=1, dropout=0.1):
        super().__init__()
        self.blank = vocab_size  # ids 0..vocab_size-1 are tokens, vocab_size is the blank
        self.embedding = nn.Embedding(vocab_size + 1, hidden, padding_idx=self.blank)
        self.lstm = nn.LSTM(hidden, hidden, num_layers=layers, batch_first=True)
        self.dropout = nn.Dropout(dropout)
        self.layers, self.hidden = layers, hidden

    def forward(self, tokens, state=None):
        """tokens (B, U) -> (B, U, H), (h, c)"""
        x = self.dropout(self.embedding(tokens))
        out, state = self.lstm(x, state)
        return self.dropout(out), state


class Joiner(nn.Module):
    def __init__(self, encoder_dim, predictor_dim, vocab_size, dim=320,
                 num_durations=len(DURATIONS)):
        super().__init__()
        self.encoder_proj = nn.Linear(encoder_dim, dim)
        self.predictor_proj = nn.Linear(predictor_dim, dim)
        self.out = nn.Linear(dim, vocab_size + 1 + num_durations)
        self.num_tokens = vocab_size + 1

    def forward(self, encoded, predicted):
        """Broadcasting (..., De) and (..., Dp) -> (..., V + K) logits: tokens then durations."""
        return self.out(torch.relu(self.encoder_proj(encoded) + self.predictor_proj(predicted)))


class Transducer(nn.Module):
    def __init__(self, vocab_size, feat_dim=80, channels=64, encoder_dim=256, encoder_hidden=256,
                 encoder_layers=2, pred_hidden=320, pred_layers=1, joiner_dim=320, dropout=0.1,
                 subsampling=8):
        super().__init__()
        self.vocab_size = vocab_size
        self.encoder = Encoder(feat_dim, channels, encoder_dim, encoder_hidden, encoder_layers,
                               dropout, subsampling)
        self.predictor = Predictor(vocab_size, pred_hidden, pred_layers, dropout)
        self.joiner = Joiner(self.encoder.output_dim, pred_hidden, vocab_size, joiner_dim)
        # Training only (not exported): CTC over the encoder frames speeds up learning alignments.
        self.ctc_head = nn.Linear(self.encoder.output_dim, vocab_size + 1)

    def logits(self, features, lengths, targets):
        """(B, T', U+1, V+K) joint logits for targets (B, U) padded with anything >= 0, the
        encoder's output lengths and frames."""
        encoded, enc_lengths = self.encoder(features, lengths)
        start = torch.full((targets.shape[0], 1), self.vocab_size, dtype=torch.long,
                           device=targets.device)
        predicted, _ = self.predictor(torch.cat([start, targets], dim=1))
        joint = self.joiner(encoded[:, :, None, :], predicted[:, None, :, :])
        return joint, enc_lengths, encoded


@torch.no_grad()
def greedy_tdt(model, encoded, length, max_symbols=5):
    """The speech library's TDT greedy search over one stream's (T', D) frames: token ids and
    their frame indices and durations."""
    blank, k_tokens = model.vocab_size, model.vocab_size + 1
    token = torch.tensor([[blank]])
    predicted, state = model.predictor(token)
    t, symbols, out = 0, 0, []
    while t < length:
        logits = model.joiner(encoded[t], predicted[0, 0])
        y = int(torch.argmax(logits[:k_tokens]))
        k = int(torch.argmax(logits[k_tokens:]))
        if y != blank:
            out.append((y, t, k))
            predicted, state = model.predictor(torch.tensor([[y]]), state)
            symbols += 1
        if k > 0:
            symbols = 0
        if symbols >= max_symbols:
            k = 1
        if y == blank and k == 0:
            k = 1
        t += k
    return out
